// Turns a host name or a dotted address into the dotted IPv4 address the
// network ports take. Blocks for as long as the name lookup takes; any
// thread.
#pragma once

#include <string>

namespace qelvor {

// The first IPv4 address of name, dotted; empty when there is none.
std::string ResolveIpv4(const std::string& name);

}  // namespace qelvor
