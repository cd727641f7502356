#pragma once

#include <functional>
#include <string>

namespace TestSupport {

// Runs `body` in a child process inside a network namespace of its own, whose only interface is
// its loopback, up, with multicast and a route for 224.0.0.0/4: whatever the body sends on the
// network stays there, never on a real interface. Returns the body's result (0: passed);
// `skipped` tells why the namespace could not be made (the body then never runs).
int InPrivateNetwork(const std::function<int()>& body, std::string& skipped);

// Makes the calling process's network namespace private as above (for a child about to exec a
// program of the test); false, with the reason, where it cannot.
bool EnterPrivateNetwork(std::string& why);

// Runs this test program again, inside a private network as above, for the tests `filter` names;
// that copy finds InsidePrivateNetwork() true. Returns its result as InPrivateNetwork does.
int RerunInPrivateNetwork(const std::string& filter, std::string& skipped);
bool InsidePrivateNetwork();

}  // namespace TestSupport
