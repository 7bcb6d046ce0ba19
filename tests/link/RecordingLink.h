#pragma once
// A link that stands in for the serial port or the UDP channel in unit
// tests of the command set: it keeps every command handed to it, can refuse
// to send, and can answer a command's reply event as the board would.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "link/Link.h"
#include "link/LinkLoss.h"

namespace linktest {

class RecordingLink : public smt::link::Link {
 public:
  struct Sent {
    uint8_t code;
    std::vector<uint8_t> payload;
  };

  explicit RecordingLink(smt::link::LinkForm form, std::string name = "the test link")
      : form_(form), name_(std::move(name)) {}

  smt::link::LinkForm Form() const override { return form_; }
  bool IsOpen() const override { return open_; }
  bool SendFrame(uint8_t code, const std::vector<uint8_t>& payload) override {
    std::function<void(uint8_t)> answer;
    {
      std::lock_guard lk(m_);
      if (!open_ || failSends_) return false;
      sent_.push_back({code, payload});
      answer = answer_;
    }
    if (answer) answer(code);
    return true;
  }
  std::string Describe() const override { return name_; }

  // The port or socket failed, as a transport reports it.
  void Fail(const std::string& how) {
    open_ = false;
    smt::link::ReportLinkLoss(smt::CurrentMachine(), *this, how);
  }
  void FailSends(bool fail) { failSends_ = fail; }
  // Called after each command went out (the board's answer).
  void AnswerWith(std::function<void(uint8_t code)> answer) {
    std::lock_guard lk(m_);
    answer_ = std::move(answer);
  }
  std::vector<Sent> SentCommands() const {
    std::lock_guard lk(m_);
    return sent_;
  }

 private:
  smt::link::LinkForm form_;
  std::string name_;
  bool open_ = true;
  bool failSends_ = false;
  mutable std::mutex m_;
  std::vector<Sent> sent_;
  std::function<void(uint8_t)> answer_;
};

}  // namespace linktest
