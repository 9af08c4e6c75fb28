#pragma once

#include "platform/ManagedPolicy.h"

#include <QString>

// Where the managed policy is read from. Linux: /etc/corvanta-manager/policy.json, then every
// *.json of policy.d/ beside it in name order, a later file's keys winning. The Mac: the managed
// preferences of the tool's bundle identifier (what a configuration profile installs), forced keys
// only. Nothing a user can set moves it.
namespace ManagedPolicyReader {

inline const QString systemFolder = QStringLiteral("/etc/corvanta-manager");

// The policy of a folder laid out as systemFolder; no files: no policy. A file that cannot be read
// or is not one JSON object makes the whole policy invalid.
ManagedPolicy readFolder(const QString &folder);

// The policy of this machine, read once per process (at start, from the fixed place).
const ManagedPolicy &system();

} // namespace ManagedPolicyReader
