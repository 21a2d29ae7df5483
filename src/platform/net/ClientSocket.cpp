// Parts of TClientSocket shared by both implementations.
#include "platform/net/ClientSocket.h"

#include "base/Strings.h"

namespace platform {

std::string SocketErrorText(int code, const char* api) {
    return Format("Windows socket error: %s (%d), on API '%s'", SocketErrorMessage(code).c_str(), code, api);
}

}  // namespace platform
