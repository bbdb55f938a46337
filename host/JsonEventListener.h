// Writes the events of one instance as JSON lines. Muting it is final: once Mute() has
// returned, no line of this instance is written, even by a job that is still under way.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "LineWriter.h"
#include "rilo/ClsRiloSever.h"

namespace rilo::host {

class JsonEventListener final : public ClsRiloSeverEvents {
 public:
  JsonEventListener(std::string instance, std::shared_ptr<LineWriter> out);

  void ServerStart(std::string& str) override;
  void TipsUpdate(VariantBool& Pd) override;
  void WorkProcess(std::int32_t& index) override;
  void TipsStart(std::string& str) override;

  /// Safe from any thread.
  void Mute();

 private:
  void Send(const std::string& line);

  const std::string instance_;
  const std::shared_ptr<LineWriter> out_;
  std::mutex mutex_;  // held across a write, so Mute() waits for a line in flight
  bool muted_ = false;
};

}  // namespace rilo::host
