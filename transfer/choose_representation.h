// Choosing the representation of a copy between the local disk and a server: an upload
// samples the local file, a download asks the server where it can tell, else fetches in
// image type and leaves the decision to the first block of data.
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"

// How many bytes of a local file an upload samples.
constexpr int32_t UPLOAD_SAMPLE_SIZE = 512;

// Before a local file goes to the server: unless the user fixed the representation, reads
// up to UPLOAD_SAMPLE_SIZE bytes from the start of `localFile` into the copy context's input
// buffer, chooses ASCII or image type by the sample and record structure when it starts
// with the record-file marker (else file structure), seeks the file back to its start and
// applies the choice to the destination side's connection. 0 (also for an empty file, which
// changes nothing), the read or seek failure of the platform (HFILE_ERROR, which is
// FSE_FAILED to the host), or the FsError of ApplyRepresentation.
int32_t ChooseUploadRepresentation(HFILE localFile, CopyContext* context);

// Results of ChooseDownloadRepresentation: how the remote file is to be fetched.
enum : int32_t {
    FETCH_CURRENT_REPRESENTATION = 1,  // as the connection now stands (fixed or reported)
    FETCH_IMAGE_AND_SNIFF = 2,         // as image, the first block decides text or binary
    FETCH_SAME_TYPE_AS_BEFORE = 3,     // as now, converted by the remembered TextFormat
};

// Before a remote file is fetched: FETCH_CURRENT_REPRESENTATION when the user fixed the
// representation, or after applying what the server reports for `path` on servers that
// report it; else FETCH_IMAGE_AND_SNIFF after switching to image type with file structure,
// unless the user chose the same type for the remaining files (FETCH_SAME_TYPE_AS_BEFORE).
// Or the first FsError of asking and applying.
int32_t ChooseDownloadRepresentation(FsStateRecord* record, FtpConnection* connection,
                                     const char* path);
