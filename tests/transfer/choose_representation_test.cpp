// Choosing the representation of a copy: an upload samples the first 512 bytes of the local
// file (text or binary, the record-file marker) and seeks back; a download takes the user's
// fixed choice, the server's report, image type for sniffing, or the remembered type.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "tests/support/scripted_session.h"
#include "transfer/choose_representation.h"

using tvtest::ScriptedSession;

namespace {

const std::string kSamplePath = ::testing::TempDir() + "tarvo-upload-sample.bin";

// Samples a local file of these bytes for an upload; the file must be back at its start.
int32_t SampleUpload(const std::string& bytes, CopyContext* context) {
    std::ofstream(kSamplePath, std::ios::binary) << bytes;
    HFILE file = _lopen(kSamplePath.c_str(), OF_READ);
    const int32_t result = ChooseUploadRepresentation(file, context);
    EXPECT_EQ(_llseek(file, 0, FILE_CURRENT), 0);
    _lclose(file);
    return result;
}

std::string TextOf(size_t size) {
    std::string text;
    while (text.size() < size) text += "Printable text, CR LF line ends.\r\n";
    return text.substr(0, size);
}

}  // namespace

TEST(UploadRepresentation, TheFirst512BytesChooseTypeAndTheMarkerChoosesStructure) {
    ScriptedSession session;
    session.Converse({{"TYPE A", "200 Type A."}, {"STRU F", "200 Structure F."},
                      {"TYPE I", "200 Type I."}, {"TYPE A", "200 Type A."}, {"TYPE I", "200 I."},
                      {"STRU R", "200 Structure R."}, {"STRU F", "200 Structure F."},
                      {"TYPE A", "504 Type not supported."}});
    auto context = std::make_unique<CopyContext>();
    context->destination = session.Begin();

    const std::string text = TextOf(600);
    EXPECT_EQ(SampleUpload(text, context.get()), 0);
    EXPECT_EQ(std::string(context->inputBuffer, 512), text.substr(0, 512));
    std::string nul = text;
    nul[511] = '\0';
    EXPECT_EQ(SampleUpload(nul, context.get()), 0);  // image
    nul = text;
    nul[512] = '\0';
    EXPECT_EQ(SampleUpload(nul, context.get()), 0);  // beyond the sample: ASCII
    // A text of up to 512 bytes that still ends in Ctrl-Z is binary.
    EXPECT_EQ(SampleUpload(TextOf(511) + "\x1A", context.get()), 0);
    const std::string marker("\x78\x56\x34\x12\x21\x43\x65\x87", 8);
    EXPECT_EQ(SampleUpload(marker + std::string(1000, 'r'), context.get()), 0);
    EXPECT_EQ(SampleUpload(marker.substr(0, 7), context.get()), 0);  // no marker
    EXPECT_EQ(SampleUpload("abc", context.get()), FSE_UNEXPECTED_REPLY);
    EXPECT_EQ(session.connection()->currentType, TYPE_IMAGE);
    EXPECT_EQ(session.Finish(), "");
}

TEST(UploadRepresentation, NothingIsSentForAFixedChoiceAnEmptyFileOrAFileThatFails) {
    ScriptedSession session;
    auto context = std::make_unique<CopyContext>();
    context->destination = session.Begin();

    EXPECT_EQ(SampleUpload("", context.get()), 0);
    // The user's fixed choice: the file is not even read.
    session.connection()->optionFlags = OPTION_REPRESENTATION_FIXED;
    context->inputBuffer[0] = '#';
    EXPECT_EQ(SampleUpload(std::string(10, '\0'), context.get()), 0);
    EXPECT_EQ(context->inputBuffer[0], '#');
    session.connection()->optionFlags = 0;

    // A handle that cannot be read gives the platform's failure, unchanged.
    HFILE writeOnly = _lopen(kSamplePath.c_str(), OF_WRITE);
    EXPECT_EQ(ChooseUploadRepresentation(writeOnly, context.get()), HFILE_ERROR);
    _lclose(writeOnly);
    std::remove(kSamplePath.c_str());
    // Read, but no way back to the start: the upload would miss the sampled bytes.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(write(ends[1], "text\r\n", 6), 6);
    close(ends[1]);
    EXPECT_EQ(ChooseUploadRepresentation(ends[0], context.get()), HFILE_ERROR);
    close(ends[0]);
    EXPECT_EQ(session.Finish(), "");
    EXPECT_EQ(session.server().ControlReceived(), "");
}

TEST(DownloadRepresentation, FixedReportedSniffedOrRemembered) {
    ScriptedSession session;
    session.Converse({{"STAT report.dat", "213 IR"}, {"TYPE I", "200 ok"}, {"STRU R", "200 ok"},
                      {"STAT gone.dat", "550 No such file."},
                      {"STAT ebcdic.dat", "213 ENRS"},  // no command for EBCDIC
                      {"STAT text.txt", "213 ANFS"}, {"TYPE A", "504 No."},
                      {"TYPE I", "200 ok"}, {"STRU F", "200 ok"}, {"TYPE I", ""}});
    FsStateRecord* record = session.Begin(STATE_STAT_REPORTS_REPRESENTATION);
    FtpConnection* connection = session.connection();
    auto choose = [&](const char* path) {
        return ChooseDownloadRepresentation(record, connection, path);
    };

    connection->optionFlags = OPTION_REPRESENTATION_FIXED;
    EXPECT_EQ(choose("fixed.dat"), FETCH_CURRENT_REPRESENTATION);
    connection->optionFlags = 0;
    EXPECT_EQ(choose("report.dat"), FETCH_CURRENT_REPRESENTATION);
    EXPECT_EQ(connection->currentStructure, STRUCTURE_RECORD);
    EXPECT_EQ(choose("gone.dat"), FSE_INVALID);
    EXPECT_EQ(choose("ebcdic.dat"), FSE_INVALID);
    EXPECT_EQ(choose("text.txt"), FSE_UNEXPECTED_REPLY);

    connection->stateFlags = 0;
    connection->currentType = TYPE_ASCII;
    EXPECT_EQ(choose("any"), FETCH_IMAGE_AND_SNIFF);
    EXPECT_EQ(choose("any"), FETCH_IMAGE_AND_SNIFF);  // nothing left to send
    connection->currentType = TYPE_ASCII;
    connection->sameTypeForRemaining = 1;
    EXPECT_EQ(choose("any"), FETCH_SAME_TYPE_AS_BEFORE);
    connection->sameTypeForRemaining = 0;
    EXPECT_EQ(choose("any"), FSE_UNEXPECTED_REPLY);
    EXPECT_EQ(session.Finish(), "");
}
