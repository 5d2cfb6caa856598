// The transfer benchmarks' floor: an FTP client with nothing but plain POSIX sockets, logged
// on once, that moves a file's data one block of 2048 bytes at a time (one recv and one
// write, or one read and one send, per block: the block size of the host's copy record).
// What the module spends beyond this loop is the module's own cost. Kept free of the
// platform header, as its source uses the system's sockets.
#pragma once

#include <cstdint>
#include <string>

namespace tvbench {

// The size of one block of the bare loop, the copy record's buffer size.
constexpr int kBareBlockSize = 2048;

// How the data connection comes about: PASV and a connect to the server, or a port of the
// client's own announced with PORT, to which the server connects.
enum class DataMode { Passive, Active };

class BareClient {
public:
    // Connects to host:port, logs on and sets image type. ok() tells whether it did.
    BareClient(const std::string& host, uint16_t port, const std::string& user,
               const std::string& password);
    ~BareClient();
    BareClient(const BareClient&) = delete;
    BareClient& operator=(const BareClient&) = delete;

    bool ok() const { return control_ >= 0; }
    // The last reply line, for an error message.
    const std::string& lastReply() const { return lastReply_; }

    // PASV or PORT, RETR `path`, the data written to `localFile` (a descriptor open for
    // writing) as it comes, the completion reply. The bytes received, or -1.
    int64_t Download(const std::string& path, int localFile, DataMode mode = DataMode::Passive);
    // PASV, LIST `path`, the listing received 2048 bytes at a time and thrown away, the
    // completion reply. The bytes received, or -1.
    int64_t List(const std::string& path);
    // PASV or PORT, STOR `path`, `localFile` (a descriptor open for reading) sent from where
    // it stands to its end, the completion reply. The bytes sent, or -1.
    int64_t Upload(int localFile, const std::string& path, DataMode mode = DataMode::Passive);

private:
    // Sends a command line (CR LF added) and reads its reply: the reply code, or -1.
    int Command(const std::string& line);
    // Reads one reply, the lines of a multi-line reply included: its code, or -1.
    int ReadReply();
    // PASV and a connection to the address it names: the data socket, or -1.
    int OpenPassive();
    // A listening socket on the control connection's local address, announced with PORT:
    // the listening socket, or -1.
    int ListenActive();
    // The transfer command on a data connection of `mode`: the connected data socket once
    // the server has said it starts (1xx), or -1.
    int StartTransfer(const std::string& command, DataMode mode);
    // The data socket closed, the completion reply read: `total`, or -1.
    int64_t EndTransfer(int data, int64_t total);
    // `command` on a data connection of `mode`, what arrives written to `localFile` (or
    // thrown away when it is -1), the completion reply: the bytes received, or -1.
    int64_t Receive(const std::string& command, int localFile, DataMode mode);

    int control_ = -1;
    std::string pending_;  // control bytes received beyond the last reply
    std::string lastReply_;
};

}  // namespace tvbench
