// Failure on request: every outside effect of the simulated PC asks here before it happens, so a test
// can make the n-th registry write, file copy or virtual device request fail.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace sim {

// Names of the fault points. Each simulated facility documents the points it asks.
namespace fault {
inline constexpr const char* kRegistryWrite = "registry.write";  // create key, set or delete value/key
inline constexpr const char* kFileCopy = "file.copy";
inline constexpr const char* kFileDelete = "file.delete";
inline constexpr const char* kFileCreate = "file.create";  // open for writing, temp files
inline constexpr const char* kFileWrite = "file.write";
inline constexpr const char* kFileRead = "file.read";
inline constexpr const char* kFileMove = "file.move";
inline constexpr const char* kFileAttributes = "file.attributes";
inline constexpr const char* kProcessStart = "process.start";
inline constexpr const char* kServiceCall = "service.call";
inline constexpr const char* kDeviceRequest = "device.request";  // any virtual device service
inline constexpr const char* kSharedAlloc = "shared.alloc";      // virtual device service 0x0F
inline constexpr const char* kGlobalAlloc = "global.alloc";
}  // namespace fault

class Faults {
 public:
  // The point fails on its hits number `skip` + 1 to `skip` + `count` (counting from now).
  void Arm(const std::string& point, std::uint32_t skip = 0, std::uint32_t count = 1);
  void Disarm(const std::string& point) { rules_.erase(point); }
  void Clear() { rules_.clear(); }

  // Asked by the facility before the effect; true means: fail this one.
  bool ShouldFail(const std::string& point);

  // How often each point was asked since the machine started; a sweep uses this to know what to fail.
  std::uint64_t Hits(const std::string& point) const;
  const std::map<std::string, std::uint64_t>& AllHits() const { return hits_; }

 private:
  struct Rule {
    std::uint32_t skip = 0;
    std::uint32_t count = 0;
  };
  std::map<std::string, Rule> rules_;
  std::map<std::string, std::uint64_t> hits_;
};

}  // namespace sim
