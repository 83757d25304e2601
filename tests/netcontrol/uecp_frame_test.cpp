#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "netcontrol/uecp_elements.h"
#include "netcontrol/uecp_frame.h"

namespace vaxo {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::vector<UecpReading> Read(const Bytes& bytes, bool datagram = false) {
    std::vector<UecpReading> readings;
    UecpFrameReader reader;
    reader.Feed(bytes.data(), bytes.size(),
                [&](UecpReading r) { readings.push_back(std::move(r)); });
    if (datagram) {
        if (auto open = reader.Finish()) {
            readings.push_back(std::move(*open));
        }
    }
    return readings;
}

// ADD SQC MFL MSG as given, with its CRC, stuffed and framed.
Bytes Framed(Bytes body) {
    const std::uint16_t crc = UecpCrc(body.data(), body.size());
    body.push_back(static_cast<std::uint8_t>(crc >> 8));
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    Bytes line{0xFE};
    for (std::uint8_t byte : body) {
        if (byte >= 0xFD) {
            line.push_back(0xFD);
            line.push_back(static_cast<std::uint8_t>(byte - 0xFD));
        } else {
            line.push_back(byte);
        }
    }
    line.push_back(0xFF);
    return line;
}

std::vector<UecpCode> Codes(const std::vector<UecpReading>& readings) {
    std::vector<UecpCode> codes;
    for (const UecpReading& reading : readings) {
        codes.push_back(reading.code);
    }
    return codes;
}

TEST(UecpFrame, TheCrcIsTheStandardsCcittVariant) {
    const std::string check = "123456789";
    EXPECT_EQ(UecpCrc(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()), 0xD64E);
}

TEST(UecpFrame, TheStandardsTwoExamplesAreReadWhole) {
    const Bytes plain{0xFE, 0xD1, 0x52, 0x01, 0x0B, 0x02, 0x03, 0x06, 0x20, 0x50,
                      0x53, 0x20, 0x52, 0x44, 0x53, 0x20, 0x25, 0xF4, 0xFF};
    const Bytes stuffed{0xFE, 0xFD, 0x02, 0xBF, 0x00, 0x0B, 0x02, 0x03, 0x06, 0x20,
                        0x50, 0x53, 0x20, 0x52, 0x44, 0x53, 0x20, 0x80, 0x0C, 0xFF};
    const Bytes message{0x02, 0x03, 0x06, 0x20, 0x50, 0x53, 0x20, 0x52, 0x44, 0x53, 0x20};
    const UecpFrame first{0x345, 0x12, 1, message};
    const UecpFrame second{0x3FE, 0x3F, 0, message};
    for (const auto& [line, frame] : {std::pair{plain, first}, std::pair{stuffed, second}}) {
        const auto readings = Read(line);
        ASSERT_EQ(readings.size(), 1u);
        ASSERT_TRUE(readings[0].frame);
        EXPECT_EQ(readings[0].frame->site, frame.site);
        EXPECT_EQ(readings[0].frame->encoder, frame.encoder);
        EXPECT_EQ(readings[0].frame->sequence, frame.sequence);
        EXPECT_EQ(readings[0].frame->message, message);
        EXPECT_EQ(EncodeUecpFrame(frame), line) << "written again, the same bytes";
    }

    const UecpElements elements = ParseUecpElements(message);
    ASSERT_EQ(elements.elements.size(), 1u);
    EXPECT_EQ(elements.elements[0].mec, kMecPs);
    EXPECT_EQ(elements.elements[0].dataSet, 3);
    EXPECT_EQ(elements.elements[0].programmeService, 6);
    EXPECT_EQ(std::string(elements.elements[0].data.begin(), elements.elements[0].data.end()),
              " PS RDS ");
}

// FD, FE and FF anywhere between the start and the stop (address, sequence,
// length, message, CRC) go stuffed, and come back as they were.
TEST(UecpFrame, EverySpecialByteIsStuffedWhereverItStands) {
    for (std::uint8_t special : {0xFD, 0xFE, 0xFF}) {
        const UecpFrame frame{0x3FF, 0x3F, special, Bytes{special, 0x01, special, special}};
        const Bytes line = EncodeUecpFrame(frame);
        EXPECT_EQ(std::count(line.begin(), line.end(), 0xFE), 1) << int(special);
        EXPECT_EQ(std::count(line.begin(), line.end(), 0xFF), 1) << int(special);
        EXPECT_EQ(line.front(), 0xFE);
        EXPECT_EQ(line.back(), 0xFF);
        const auto readings = Read(line);
        ASSERT_EQ(readings.size(), 1u);
        ASSERT_TRUE(readings[0].frame) << int(readings[0].code);
        EXPECT_EQ(readings[0].frame->site, 0x3FF);
        EXPECT_EQ(readings[0].frame->encoder, 0x3F);
        EXPECT_EQ(readings[0].frame->sequence, special);
        EXPECT_EQ(readings[0].frame->message, frame.message);
    }
}

TEST(UecpFrame, TroubleGetsTheStandardsCodeAndTheFramesSequence) {
    Bytes good = EncodeUecpFrame({0, 0, 7, Bytes{0x07, 0, 0, 10}});
    Bytes wrongCrc = good;
    wrongCrc[wrongCrc.size() - 2] ^= 0x01;
    EXPECT_THAT(Codes(Read(wrongCrc)), ElementsAre(UecpCode::CrcError));
    EXPECT_EQ(Read(wrongCrc)[0].sequence, 7);

    Bytes badStuffing = good;
    badStuffing.insert(badStuffing.begin() + 6, {0xFD, 0x03});
    EXPECT_THAT(Codes(Read(badStuffing)), ElementsAre(UecpCode::BadStuffing));

    Bytes cut(good.begin(), good.end() - 1);  // no stop byte, then the next frame
    cut.insert(cut.end(), good.begin(), good.end());
    EXPECT_THAT(Codes(Read(cut)), ElementsAre(UecpCode::EndByteMissing, UecpCode::Ok));

    const Bytes open(good.begin(), good.end() - 1);
    EXPECT_THAT(Codes(Read(open, true)), ElementsAre(UecpCode::EndByteMissing));

    Bytes endless{0xFE, 0x00, 0x00, 0x05};
    endless.resize(400, 0x20);
    endless.push_back(0xFF);
    EXPECT_THAT(Codes(Read(endless)), ElementsAre(UecpCode::EndByteMissing))
        << "the rest after 263 bytes is stray until the next start";

    // A length byte of 3 before a message of 4 bytes, the CRC right.
    EXPECT_THAT(Codes(Read(Framed({0x00, 0x00, 0x01, 0x03, 0x07, 0x00, 0x00, 0x0A}))),
                ElementsAre(UecpCode::FieldLengthError));

    Bytes stray{0x00, 0x41, 0xFF, 0xFD};
    stray.insert(stray.end(), good.begin(), good.end());
    EXPECT_THAT(Codes(Read(stray)), ElementsAre(UecpCode::Ok)) << "bytes before FE are skipped";
}

TEST(UecpFrame, BytesInPiecesOfAnySizeGiveTheSameFrames) {
    Bytes stream;
    for (std::uint8_t sequence = 1; sequence <= 5; ++sequence) {
        const Bytes frame = EncodeUecpFrame(
            {0x12, 3, sequence, Bytes{0x02, 0, 0, 0xFD, 0xFE, 0xFF, 'A', 'B', 'C', 'D', 'E'}});
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    for (std::size_t piece : {1u, 2u, 3u, 7u, 64u}) {
        UecpFrameReader reader;
        std::vector<int> sequences;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            reader.Feed(stream.data() + at, std::min(piece, stream.size() - at),
                        [&](const UecpReading& r) {
                            ASSERT_TRUE(r.frame);
                            sequences.push_back(r.frame->sequence);
                        });
        }
        EXPECT_THAT(sequences, ElementsAre(1, 2, 3, 4, 5)) << piece;
    }
}

TEST(UecpElements, LayoutsFollowTheStandardsTable) {
    // The standard's example elements, one after another in one message.
    const Bytes message{0x01, 0x00, 0x01, 0xC2, 0x01,                                      // PI
                        0x03, 0x00, 0x05, 0x02,                                            // TA/TP
                        0x07, 0x00, 0x05, 0x08,                                            // PTY
                        0x0A, 0x00, 0x01, 0x04, 0x0B, 0x52, 0x44, 0x53,                    // RT
                        0x13, 0x00, 0x01, 0x07, 0x00, 0x00, 0xE2, 0x15, 0x27, 0xCD, 0x00,  // AF
                        0x2C, 0x01,                                                        // mode
                        0x0D, 26,   12,   8,    12,   0,    0,    0,    0,                 // clock
                        0x18, 0x00};                                                       // ack
    const UecpElements parsed = ParseUecpElements(message);
    EXPECT_EQ(parsed.stop, UecpCode::Ok);
    std::vector<int> codes;
    for (const UecpElement& element : parsed.elements) {
        codes.push_back(element.mec);
    }
    EXPECT_THAT(codes, ElementsAre(0x01, 0x03, 0x07, 0x0A, 0x13, 0x2C, 0x0D, 0x18));
    EXPECT_THAT(parsed.elements[0].data, ElementsAre(0xC2, 0x01));
    EXPECT_THAT(parsed.elements[3].data, ElementsAre(0x0B, 0x52, 0x44, 0x53));
    EXPECT_THAT(parsed.elements[4].data,
                ElementsAreArray({0x00, 0x00, 0xE2, 0x15, 0x27, 0xCD, 0x00}));
    EXPECT_FALSE(parsed.elements[6].dataSet) << "the clock has no data set";
}

TEST(UecpElements, AnUnknownLayoutOrAShortElementEndsTheMessageKeepingWhatCameBefore) {
    const UecpElements unknown = ParseUecpElements({0x07, 0, 0, 3, 0x99, 1, 2, 3, 0x07, 0, 0, 4});
    EXPECT_EQ(unknown.stop, UecpCode::MessageUnknown);
    ASSERT_EQ(unknown.elements.size(), 1u);
    EXPECT_THAT(unknown.elements[0].data, ElementsAre(3));

    EXPECT_EQ(ParseUecpElements({0x02, 0, 0, 'A', 'B'}).stop, UecpCode::ElementLengthError);
    EXPECT_EQ(ParseUecpElements({0x0A, 0, 0}).stop, UecpCode::ElementLengthError);
    EXPECT_EQ(ParseUecpElements({0x0A, 0, 0, 9, 0}).stop, UecpCode::ElementLengthError);

    // An element this encoder does not carry is passed over by its length.
    const UecpElements skipped = ParseUecpElements({0x46, 2, 0x4B, 0xD7, 0x07, 0, 0, 5});
    EXPECT_EQ(skipped.stop, UecpCode::Ok);
    ASSERT_EQ(skipped.elements.size(), 2u);
    EXPECT_FALSE(UecpElementInterpreted(skipped.elements[0].mec));
    EXPECT_TRUE(UecpElementInterpreted(skipped.elements[1].mec));
}

}  // namespace
}  // namespace vaxo
