// A connected pair of local stream sockets for the fuzz targets that play a server: one end
// becomes the module's data or control connection, the other is the server's. The module
// reads and writes it through the platform's Winsock calls like any TCP connection (a
// SOCKET of the platform is the system's descriptor). This header declares plain
// descriptors only, so that files which include the platform header may include it.
#pragma once

namespace tvfuzz {

// Opens the pair, both ends blocking, with send buffers large enough for everything a
// fuzz input makes either side send (see fuzz_session.h). False when the system refuses.
bool OpenLocalSocketPair(int* moduleEnd, int* serverEnd);

// Receives and throws away what arrives at `serverEnd` until the other end is closed: what
// the module sends to a server that answers from a script must go somewhere, or the pair's
// buffer fills and the module's next send waits for good.
void DiscardUntilClosed(int serverEnd);

}  // namespace tvfuzz
