#pragma once
// The boards' boot loaders as the simulator keeps them: one flash image per
// board (main, head, feeder boards 0 to 3, conveyor), the board chosen by the
// last update flag, whether each board runs its boot loader or its
// application, and the boot loader commands 0xF00 to 0xF07 carried out on
// that flash. Faults can be injected: corrupted chunks, wrong or short
// digests, lost replies of one command, a main board that stays away after
// it restarts.
#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace smt::sim {

class SimBootloader {
 public:
  static constexpr uint32_t kFlashBase = 0x08000000;
  static constexpr uint32_t kFlashSize = 0x80000;
  static constexpr uint32_t kConfigAddress = 0x08010000;
  static constexpr uint32_t kConfigSize = 0x10000;
  static constexpr uint32_t kAppAddress = 0x08020000;
  static constexpr uint32_t kAppSize = 0x60000;
  static constexpr uint32_t kMaxChunk = 433;

  // Status bytes the boot loader answers with.
  static constexpr uint8_t kLengthError = 0x05;
  static constexpr uint8_t kProtected = 0x10;   // the application area while the application runs
  static constexpr uint8_t kUnknown = 0xFF;     // no such board, address or command

  SimBootloader();

  // Carries out one command; returns the reply payload (status byte first).
  // `mainBoardRestarts` is set when the main board jumped (it restarts and
  // is silent for a while).
  std::vector<uint8_t> Handle(uint16_t code, const std::vector<uint8_t>& payload, bool& mainBoardRestarts);
  // The reply of a command answered with an injected failure status.
  static std::vector<uint8_t> FailureReply(uint16_t code, uint8_t status);

  // --- faults -------------------------------------------------------------
  // The data of the next n write chunks are stored with one bit flipped.
  void CorruptNextWrites(int n) { std::lock_guard lk(m_); corruptWrites_ = n; }
  // The next write chunk that covers `address` is stored with that byte's bit flipped.
  void CorruptWriteAt(uint32_t address) { std::lock_guard lk(m_); corruptAt_ = address; }
  // The next n digests are wrong / carry only 16 bytes.
  void WrongNextDigests(int n) { std::lock_guard lk(m_); wrongDigests_ = n; }
  void ShortNextDigests(int n) { std::lock_guard lk(m_); shortDigests_ = n; }

  // --- set up and read back -------------------------------------------------
  // Boards: 1 main, 2 head, 3 feeder (index 0..3), 4 conveyor.
  std::vector<uint8_t> Read(int board, int index, uint32_t address, uint32_t n) const;
  void Write(int board, int index, uint32_t address, const std::vector<uint8_t>& bytes);
  // The application bytes the board would run (the first `n` bytes).
  std::vector<uint8_t> Application(int board, int index, uint32_t n) const { return Read(board, index, kAppAddress, n); }
  bool InBootloader(int board, int index) const;
  void SetInBootloader(int board, int index, bool on);
  std::pair<int, int> Selected() const;
  // Every update flag received, in order.
  std::vector<std::pair<int, int>> UpdateFlags() const;
  // Jumps carried out, in order: (board, index, address).
  std::vector<std::array<uint32_t, 3>> Jumps() const;
  // Bytes written into the application area of a board (all chunks).
  uint64_t ApplicationBytesWritten(int board, int index) const;

 private:
  struct Board {
    std::vector<uint8_t> flash;
    bool inBootloader = false;
    uint64_t appBytesWritten = 0;
  };
  static int Key(int board, int index) { return board * 4 + index; }
  static bool Exists(int board, int index);
  Board* SelectedBoard();
  bool InArea(uint32_t address, uint32_t n, bool& application) const;

  mutable std::mutex m_;
  std::map<int, Board> boards_;
  std::pair<int, int> selected_{1, 0};
  std::vector<std::pair<int, int>> flags_;
  std::vector<std::array<uint32_t, 3>> jumps_;
  int corruptWrites_ = 0;
  uint32_t corruptAt_ = 0;
  int wrongDigests_ = 0;
  int shortDigests_ = 0;
};

// MD5 of a byte range (RFC 1321), the board's own digest.
std::array<uint8_t, 16> SimMd5(const uint8_t* data, size_t size);

}  // namespace smt::sim
