#include "job/JobFile.h"

#include <system_error>

#include "job/JobFileError.h"
#include "platform/Archive.h"
#include "platform/FileIo.h"

namespace smt::job {

using smt::platform::ArchiveError;
using smt::platform::ArchiveReader;
using smt::platform::ArchiveWriter;

namespace {

// Each archive string takes at least one byte, so a count above the bytes
// left cannot be true.
uint32_t ReadCount(ArchiveReader& in, const char* what) {
  uint32_t n = in.ReadU32();
  if (n > in.remaining())
    throw JobFileError(std::string("the ") + what + " count " + std::to_string(n) + " is larger than the " +
                       std::to_string(in.remaining()) + " bytes that follow");
  return n;
}

std::vector<std::string> ReadStrings(ArchiveReader& in, uint32_t n) {
  std::vector<std::string> out;
  out.reserve(n);
  for (uint32_t i = 0; i < n; ++i) out.push_back(in.ReadString());
  return out;
}

void ExpectEnd(const ArchiveReader& in) {
  if (!in.AtEnd())
    throw JobFileError(std::to_string(in.remaining()) + " unexpected bytes follow the last item at byte " +
                       std::to_string(in.offset()));
}

template <class F>
auto Parse(std::span<const uint8_t> bytes, F f) {
  try {
    ArchiveReader in(bytes);
    auto result = f(in);
    ExpectEnd(in);
    return result;
  } catch (const ArchiveError& e) {
    throw JobFileError(e.what());
  }
}

std::vector<uint8_t> ReadFileOrThrow(const std::filesystem::path& p) {
  try {
    return smt::platform::ReadWholeFile(p);
  } catch (const std::exception& e) {
    throw JobFileError("\"" + p.string() + "\": cannot be read (" + e.what() + ")");
  }
}

template <class F>
auto ParseFile(const std::filesystem::path& p, F f) {
  auto bytes = ReadFileOrThrow(p);
  try {
    return f(std::span<const uint8_t>(bytes));
  } catch (const JobFileError& e) {
    throw JobFileError("\"" + p.string() + "\" is damaged or not a job file: " + e.what());
  }
}

void WriteOrThrow(const std::filesystem::path& p, const std::vector<uint8_t>& bytes) {
  try {
    smt::platform::WriteFileAtomically(p, bytes);
  } catch (const std::exception& e) {
    throw JobFileError("\"" + p.string() + "\": cannot be written (" + e.what() + ")");
  }
}

void RemoveIfThere(const std::filesystem::path& p) {
  std::error_code ec;
  if (!std::filesystem::exists(p, ec)) return;
  if (!std::filesystem::remove(p, ec) && ec)
    throw JobFileError("\"" + p.string() + "\": the old side file cannot be removed (" + ec.message() + ")");
}

bool IsFile(const std::filesystem::path& p) {
  std::error_code ec;
  return !p.empty() && std::filesystem::is_regular_file(p, ec);
}

}  // namespace

std::filesystem::path SideFilePath(const std::filesystem::path& jobPath, std::string_view ext) {
  const std::string name = jobPath.filename().string();
  static constexpr std::string_view kExt = ".smt";
  if (name.size() <= kExt.size() || name.compare(name.size() - kExt.size(), kExt.size(), kExt) != 0) return {};
  return jobPath.parent_path() / (name.substr(0, name.size() - kExt.size()) + std::string(ext));
}

std::vector<uint8_t> EncodeJobFile(const JobFileContent& c) {
  ArchiveWriter out;
  out.WriteString(c.curPcbName);
  out.WriteU32(c.pcbCount);
  out.WriteU32(static_cast<uint32_t>(c.pcbLines.size()));
  for (const auto& l : c.pcbLines) out.WriteString(l);
  return out.take();
}

JobFileContent ParseJobFile(std::span<const uint8_t> bytes) {
  return Parse(bytes, [](ArchiveReader& in) {
    JobFileContent c;
    c.curPcbName = in.ReadString();
    c.pcbCount = in.ReadU32();
    uint32_t n = ReadCount(in, "line");
    if (c.pcbCount > n)
      throw JobFileError("the board count " + std::to_string(c.pcbCount) + " is larger than the " +
                         std::to_string(n) + " lines");
    c.pcbLines = ReadStrings(in, n);
    return c;
  });
}

std::vector<uint8_t> EncodeRowFile(const std::vector<std::string>& lines) {
  ArchiveWriter out;
  out.WriteU32(static_cast<uint32_t>(lines.size()));
  for (const auto& l : lines) out.WriteString(l);
  return out.take();
}

std::vector<std::string> ParseRowFile(std::span<const uint8_t> bytes) {
  return Parse(bytes, [](ArchiveReader& in) {
    uint32_t n = ReadCount(in, "row");
    return ReadStrings(in, n);
  });
}

std::vector<uint8_t> EncodeLampFile(const std::vector<std::string>& rows) {
  ArchiveWriter out;
  for (int i = 0; i < kLampRowCount; ++i)
    out.WriteString(static_cast<size_t>(i) < rows.size() ? rows[static_cast<size_t>(i)] : std::string());
  return out.take();
}

std::vector<std::string> ParseLampFile(std::span<const uint8_t> bytes) {
  return Parse(bytes, [](ArchiveReader& in) { return ReadStrings(in, kLampRowCount); });
}

JobFileContent ReadJobFiles(const std::filesystem::path& jobPath, int machineType) {
  JobFileContent c = ParseFile(jobPath, ParseJobFile);
  auto dis = SideFilePath(jobPath, ".dis");
  if (IsFile(dis)) c.dispenseLines = ParseFile(dis, ParseRowFile);
  if (machineType == kMachineDrill) {
    auto drill = SideFilePath(jobPath, ".drill");
    if (IsFile(drill)) c.drillLines = ParseFile(drill, ParseRowFile);
  }
  if (machineType == kMachineLampDispenser) {
    auto txt = SideFilePath(jobPath, ".txt");
    if (IsFile(txt)) c.lampRows = ParseFile(txt, ParseLampFile);
  }
  return c;
}

void WriteJobFiles(const std::filesystem::path& jobPath, const JobFileContent& c, int machineType) {
  WriteOrThrow(jobPath, EncodeJobFile(c));
  auto dis = SideFilePath(jobPath, ".dis");
  if (!dis.empty()) {
    if (c.dispenseLines && !c.dispenseLines->empty())
      WriteOrThrow(dis, EncodeRowFile(*c.dispenseLines));
    else
      RemoveIfThere(dis);
  }
  if (machineType == kMachineDrill) {
    auto drill = SideFilePath(jobPath, ".drill");
    if (!drill.empty()) {
      if (c.drillLines && !c.drillLines->empty())
        WriteOrThrow(drill, EncodeRowFile(*c.drillLines));
      else
        RemoveIfThere(drill);
    }
  }
  if (machineType == kMachineLampDispenser && c.lampRows) {
    auto txt = SideFilePath(jobPath, ".txt");
    if (!txt.empty()) WriteOrThrow(txt, EncodeLampFile(*c.lampRows));
  }
}

}  // namespace smt::job
