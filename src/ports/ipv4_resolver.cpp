#include "ports/ipv4_resolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace qelvor {

std::string ResolveIpv4(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (name.empty() || getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) return {};
    char dotted[INET_ADDRSTRLEN] = {};
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    inet_ntop(AF_INET, &ipv4->sin_addr, dotted, sizeof dotted);
    freeaddrinfo(found);
    return dotted;
}

}  // namespace qelvor
