// One reply of the server as the control connection reads it: its class and code, or the
// FsError that kept a reply from being read at all.
#pragma once

#include <cstdint>

#include "records/tarvoftp.h"

// The class of a reply: the first digit of its last line.
enum class ReplyClass : uint8_t {
    Unknown = 0,  // the last line starts with no class digit (or no reply was read)
    Preliminary = 1,
    Complete = 2,
    Intermediate = 3,
    Transient = 4,
    Permanent = 5,
};

// What ReadReply, SendCommand and SendFormattedCommand give back. Either a reply was read
// (error 0: its class and the code of its last line), or `error` tells what stood in the
// way: FSE_CONNECTION_BROKEN when the control connection broke or failed while the reply
// was awaited, FSE_STREAM_CLOSED when the stream was closed already, or the failure that
// kept the command from going out. A caller that only passes failures on writes
//     if (reply.error) return reply.error;
struct Reply {
    ReplyClass kind = ReplyClass::Unknown;
    uint16_t code = 0;   // the code of the last line, at most 999
    int32_t error = 0;   // 0, or an FsError

    // Whether a reply was read and has this class.
    bool Is(ReplyClass wanted) const { return error == 0 && kind == wanted; }
    // Whether the control connection broke (or failed) while the reply was awaited.
    bool broken() const { return error == FSE_CONNECTION_BROKEN; }

    static Reply Failed(int32_t error) { return Reply{ReplyClass::Unknown, 0, error}; }
};
