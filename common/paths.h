#pragma once
// Default locations on Linux.

namespace ixan {

inline constexpr const char* kDefaultLogPath = "/var/log/ixansys.log";
inline constexpr const char* kDefaultDatabasePath = "/var/lib/ixan/ixan_log.db";
inline constexpr const char* kDefaultRegistryPath = "/etc/ixan/registry";
inline constexpr const char* kRegistryEnv = "IXAN_REGISTRY";

}  // namespace ixan
