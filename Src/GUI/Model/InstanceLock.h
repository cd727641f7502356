#pragma once

#include <string>

namespace GUI {

// Where this user's running copy of Ticova keeps its socket and the lock beside it, and whether a
// copy holds that lock: without Qt, so that a copy that only exports a click track can ask.
namespace InstanceLock {

// The socket of this user's copy: in $XDG_RUNTIME_DIR, which only the user can reach, or else in
// a folder of the user's own in the temporary folder ($TMPDIR, else /tmp). Empty when neither is
// private.
std::string DefaultSocketPath();
// `name` as a socket path: a bare name lies in the temporary folder.
std::string SocketPath(const std::string& name);
// Whether a copy holds the lock of the socket `socketPath` now.
bool Held(const std::string& socketPath);

}  // namespace InstanceLock

}  // namespace GUI
