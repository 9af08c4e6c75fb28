#pragma once

// Which desktop the tool serves. The one compile-time test of the system for the rules that differ
// (file locations, how WPS is recognised, whether the tool places itself): everything else takes a
// HostSystem, so both sets of rules are tested on whichever system runs the tests.
enum class HostSystem { Mac, Linux };

#ifdef Q_OS_MACOS
inline constexpr HostSystem hostSystem = HostSystem::Mac;
#else
inline constexpr HostSystem hostSystem = HostSystem::Linux;
#endif
