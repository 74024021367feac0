#pragma once
// The version of the system, as every program reports it with --version.

namespace version {

// The version of the system ("1.50").
const char* Text();

} // namespace version
