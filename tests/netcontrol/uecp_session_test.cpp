#include <numeric>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "encoding/rds_characters.h"
#include "encoding/receiver_view.h"
#include "netcontrol/uecp_session.h"
#include "tests/support/field_lines.h"
#include "tests/support/running_program.h"

namespace vaxo {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// A conversation with one client, frames built and answers read back.
class UecpSessionTest : public ::testing::Test {
  protected:
    void Use(UecpSettings settings, bool mayProvision = false) {
        session_ = UecpSession(std::move(settings), "UECP test", {}, mayProvision);
    }

    // The elements of the answer to one frame.
    std::vector<UecpElement> Send(Bytes message, int site = 0, int encoder = 0) {
        const UecpFrame frame{site, encoder, NextSequence(), std::move(message)};
        return Answer(session_.Take(*program_, UecpReading{frame, UecpCode::Ok, frame.sequence}));
    }
    std::vector<UecpElement> Answer(const Bytes& reply) {
        std::vector<UecpElement> elements;
        UecpFrameReader reader;
        reader.Feed(reply.data(), reply.size(), [&](const UecpReading& reading) {
            EXPECT_TRUE(reading.frame);
            if (reading.frame) {
                const auto parsed = ParseUecpElements(reading.frame->message);
                elements.insert(elements.end(), parsed.elements.begin(), parsed.elements.end());
            }
        });
        return elements;
    }
    // The acknowledgement code of an answer in mode 2, or -1 without one.
    int Ack(const std::vector<UecpElement>& answer) {
        for (const UecpElement& element : answer) {
            if (element.mec == kMecAcknowledgement) {
                return element.data.at(0);
            }
        }
        return -1;
    }
    int SendAndAck(Bytes message, int site = 0, int encoder = 0) {
        return Ack(Send(std::move(message), site, encoder));
    }
    // With the sequence counter off, so that a frame for others leaves no gap.
    int Unnumbered(Bytes message, int site, int encoder) {
        const UecpFrame frame{site, encoder, 0, std::move(message)};
        return Ack(Answer(session_.Take(*program_, UecpReading{frame, UecpCode::Ok, 0})));
    }
    void Mode(int mode) { Send({kMecCommunicationMode, static_cast<std::uint8_t>(mode)}); }
    std::uint8_t NextSequence() {
        sequence_ = sequence_ == 255 ? 1 : static_cast<std::uint8_t>(sequence_ + 1);
        return sequence_;
    }
    static Bytes Text(std::uint8_t mec, const std::string& windows1250) {
        const std::string rds = StationTextToRds(windows1250);
        Bytes element(3 + rds.size());  // data set 0, service 0
        element[0] = mec;
        std::copy(rds.begin(), rds.end(), element.begin() + 3);
        return element;
    }
    static Bytes Radiotext(std::uint8_t flags, const std::string& text) {
        Bytes element{kMecRt, 0, 0, static_cast<std::uint8_t>(text.size() + 1), flags};
        const std::string rds = StationTextToRds(text);
        element.insert(element.end(), rds.begin(), rds.end());
        return element;
    }

    test::RunningProgram program_;
    UecpSession session_{{}, "UECP test"};
    std::uint8_t sequence_ = 0;
};

TEST_F(UecpSessionTest, TheStandardsExampleIsReadAndRefusedAsAnotherDataSet) {
    Use({{{0x345}, {0x12}}, {}});
    Mode(2);
    const Bytes example{0xFE, 0xD1, 0x52, 0x01, 0x0B, 0x02, 0x03, 0x06, 0x20, 0x50,
                        0x53, 0x20, 0x52, 0x44, 0x53, 0x20, 0x25, 0xF4, 0xFF};
    std::vector<UecpReading> readings;
    UecpFrameReader reader;
    reader.Feed(example.data(), example.size(), [&](UecpReading r) { readings.push_back(r); });
    ASSERT_EQ(readings.size(), 1u);
    const auto answer = Answer(session_.Take(*program_, readings[0]));
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_THAT(answer[0].data, ElementsAre(4, 1)) << "code 4 for the frame numbered 1";
    EXPECT_EQ(program_->View().Station().PS, "FM RADIO");
    EXPECT_THAT(program_.Refusals(), ElementsAre(HasSubstr("data set 3 is not on air here")));
}

TEST_F(UecpSessionTest, OnlyFramesForThisEncoderOrForAllAreTaken) {
    Use({{{0x345}, {0x12}}, {}});
    Mode(2);
    EXPECT_EQ(SendAndAck(Text(kMecPs, "OTHER   "), 0x344, 0x12), -1);
    EXPECT_EQ(SendAndAck(Text(kMecPs, "OTHER   "), 0x345, 0x13), -1);
    EXPECT_EQ(program_->View().Station().PS, "FM RADIO")
        << "frames for others change nothing, answer nothing";
    EXPECT_EQ(SendAndAck(Text(kMecPs, "ALL SITE"), 0, 0x12), 0);
    EXPECT_EQ(program_->View().Station().PS, "ALL SITE");
    EXPECT_EQ(SendAndAck(Text(kMecPs, "ALL ENC "), 0x345, 0), 0);
    EXPECT_EQ(program_->View().Station().PS, "ALL ENC ");
    EXPECT_EQ(SendAndAck(Text(kMecPs, "OURS    "), 0x345, 0x12), 0);
    EXPECT_EQ(program_->View().Station().PS, "OURS    ");
}

// The standard's own examples (IEC 62106-10): `23 01 00 48` adds site
// 0x048, `27 01 13` adds encoder 0x13; configuration 0 removes one, 2
// empties the list; several may follow each other in one frame.
TEST_F(UecpSessionTest, AProvisioningServerSetsTheListsElementByElementAsTheStandardWrites) {
    Use({{{100}, {5}}, {}}, true);
    Mode(2);
    EXPECT_EQ(SendAndAck({kMecSiteAddress, 0x01, 0x00, 0x48}), 0);
    EXPECT_EQ(SendAndAck({kMecEncoderAddress, 0x01, 0x13}), 0);
    EXPECT_EQ(program_.remote.back().note, "encoder addresses 5, 19");
    EXPECT_EQ(Unnumbered(Text(kMecPs, "SITE 72 "), 0x048, 0x13), 0);
    EXPECT_EQ(Unnumbered(Text(kMecPs, "SITE 200"), 200, 5), -1);

    // Add site 600 and encoder 2: neither opens the lists to every address.
    EXPECT_EQ(SendAndAck({kMecSiteAddress, 1, 0x02, 0x58, kMecEncoderAddress, 1, 0x02}), 0);
    EXPECT_EQ(Unnumbered(Text(kMecPs, "SITE 600"), 600, 2), 0);
    EXPECT_EQ(Unnumbered(Text(kMecPs, "ENC 33  "), 600, 33), -1);
    const std::size_t told = program_.remote.size();
    EXPECT_EQ(SendAndAck({kMecEncoderAddress, 1, 2}), 0) << "already there";
    EXPECT_EQ(program_.remote.size(), told) << "and not told as a change";

    std::vector<Bytes> sites;
    for (const UecpElement& element : Send({kMecRequest, 1, kMecSiteAddress})) {
        if (element.mec == kMecSiteAddress) {
            sites.push_back(element.data);
        }
    }
    EXPECT_THAT(sites, ElementsAre(Bytes{1, 0, 100}, Bytes{1, 0, 0x48}, Bytes{1, 2, 0x58}));

    EXPECT_EQ(SendAndAck({kMecSiteAddress, 0, 0, 100}), 0);
    EXPECT_EQ(Unnumbered(Text(kMecPs, "SITE 100"), 100, 5), -1) << "removed";
    EXPECT_EQ(SendAndAck({kMecEncoderAddress, 2, 0x13}), 0) << "the address byte is ignored";
    EXPECT_EQ(Unnumbered(Text(kMecPs, "ENC 33  "), 600, 33), 0) << "an empty list takes any";
    const auto encoders = Send({kMecRequest, 1, kMecEncoderAddress});
    ASSERT_EQ(encoders.size(), 2U);
    EXPECT_EQ(encoders[1].mec, kMecEncoderAddress);
    EXPECT_THAT(encoders[1].data, ElementsAre(2, 0));
}

TEST_F(UecpSessionTest, AWrongAddressElementIsRefusedAndTheFrameGoesOn) {
    Use({{{100}, {}}, {}}, true);
    Mode(2);
    const auto then = [](Bytes element, const char* ps) {
        element.insert(element.end(), {kMecPs, 0, 0});
        element.insert(element.end(), ps, ps + 8);
        return element;
    };
    EXPECT_EQ(SendAndAck(then({kMecSiteAddress, 3, 0, 200}, "AFTER 3 ")), 6);
    EXPECT_EQ(program_->View().Station().PS, "AFTER 3 ");
    EXPECT_EQ(SendAndAck(then({kMecSiteAddress, 1, 0x04, 0x00}, "AFTER 1K")), 6) << "site 1024";
    EXPECT_EQ(program_->View().Station().PS, "AFTER 1K");
    EXPECT_EQ(SendAndAck({kMecSiteAddress, 1, 0, 0}), 6) << "0 is every site, no address";
    EXPECT_EQ(SendAndAck({kMecEncoderAddress, 1, 64}), 6);
    EXPECT_EQ(SendAndAck({kMecSiteAddress, 1, 0}), 7) << "cut short";

    Bytes encoders;  // 1 to 32, the most a list keeps
    for (std::uint8_t encoder = 1; encoder <= 32; ++encoder) {
        encoders.insert(encoders.end(), {kMecEncoderAddress, 1, encoder});
    }
    EXPECT_EQ(SendAndAck(encoders), 0);
    EXPECT_EQ(SendAndAck({kMecEncoderAddress, 1, 33}), 9) << "a 33rd";
    EXPECT_EQ(Unnumbered(Text(kMecPs, "ONLY 100"), 200, 1), -1) << "the sites as they were";
    EXPECT_EQ(Unnumbered(Text(kMecPs, "ENC 33  "), 100, 33), -1);
    EXPECT_THAT(
        program_.Refusals(),
        ElementsAre(HasSubstr("configuration 3"), HasSubstr("not 1024"), HasSubstr("not 0"),
                    HasSubstr("not 64"), HasSubstr("past the end"), HasSubstr("at most 32")));
}

// Only the servers the operator named may re-address the encoder: any
// other sender (the machine itself included) is refused with code 9.
TEST_F(UecpSessionTest, AddressElementsFromAClientNotNamedToProvisionAreRefused) {
    Use({{{837}, {}}, {}});
    Mode(2);
    EXPECT_EQ(SendAndAck({kMecSiteAddress, 0, 0x03, 0x45}), 9);
    EXPECT_EQ(SendAndAck({kMecSiteAddress, 2, 0, 0}), 9);
    EXPECT_EQ(SendAndAck({kMecEncoderAddress, 1, 2}), 9);
    EXPECT_EQ(Unnumbered(Text(kMecPs, "OURS    "), 837, 9), 0) << "still site 837 only";
    EXPECT_EQ(Unnumbered(Text(kMecPs, "OTHERS  "), 999, 9), -1);
    EXPECT_THAT(program_.Refusals(), Contains(HasSubstr("--uecp-provision")));
}

// Elements this encoder knows but does not carry are told so (code 14),
// and the elements after them still applied.
TEST_F(UecpSessionTest, PhaseAndClockCorrectionAreKnownAndPassedOver) {
    Mode(2);
    EXPECT_EQ(SendAndAck(
                  {kMecRdsPhase, 0x00, 0x10, kMecPs, 0, 0, 'P', 'H', 'A', 'S', 'E', ' ', ' ', ' '}),
              14);
    EXPECT_EQ(program_->View().Station().PS, "PHASE   ");
    EXPECT_EQ(SendAndAck({kMecClockCorrection, 0xFF, 0xF6, kMecPs, 0, 0, 'C', 'L', 'O', 'C', 'K',
                          ' ', ' ', ' '}),
              14);
    EXPECT_EQ(program_->View().Station().PS, "CLOCK   ");
}

TEST_F(UecpSessionTest, EachElementReachesItsField) {
    Mode(2);
    EXPECT_EQ(SendAndAck({kMecPi, 0, 0, 0xC2, 0x01}), 0);
    EXPECT_EQ(program_->View().Station().PI, "C201");
    EXPECT_EQ(SendAndAck(Text(kMecPs, "CESKY   ")), 0);
    EXPECT_EQ(program_->View().Station().PS, "CESKY   ");
    EXPECT_EQ(SendAndAck({kMecTaTp, 0, 0, 0x02}), 0);
    EXPECT_EQ(program_->View().Station().TP, 1);
    EXPECT_EQ(program_->View().Station().TA, 0);
    EXPECT_EQ(SendAndAck({kMecDi, 0, 0, 0x09}), 0);
    EXPECT_EQ(DecoderIdText(program_->View().Station().DI), "1001") << "dynamic PTY and stereo";
    EXPECT_EQ(SendAndAck({kMecMs, 0, 0, 0x00}), 0);
    EXPECT_EQ(program_->View().Station().MS, 0);
    EXPECT_EQ(SendAndAck({kMecPty, 0, 0, 31}), 0);
    EXPECT_EQ(program_->View().Station().PTY, 31);
    EXPECT_EQ(SendAndAck({kMecPty, 0, 0, 32}), 6);
    EXPECT_EQ(program_->View().Station().PTY, 31);
    EXPECT_EQ(SendAndAck({kMecAf, 0, 0, 7, 0x00, 0x00, 0xE2, 0x15, 0x27, 0xCD, 0x00}), 0);
    EXPECT_EQ(program_->View().Station().AF[0], "89.6");
    EXPECT_EQ(program_->View().Station().AF[1], "91.4");
    EXPECT_EQ(program_->View().Station().AF[2], "");
    EXPECT_EQ(SendAndAck({kMecAf, 0, 0, 4, 0xFF, 0xFF, 0xE1, 0x01}), 0) << "added after the last";
    EXPECT_EQ(program_->View().Station().AF[2], "87.6");
    EXPECT_EQ(SendAndAck({kMecAf, 0, 0, 8, 0xFF, 0xFF, 0xE5, 10, 20, 30, 40, 50}), 6)
        << "eight frequencies";
    EXPECT_EQ(program_->View().Station().AF[3], "") << "nothing of a refused list is taken";
    EXPECT_EQ(SendAndAck({kMecAf, 0, 0, 3, 0x00, 0x00, 0xE0}), 0);
    EXPECT_EQ(program_->View().Station().AF[0], "") << "an empty list empties the list";
}

// Texts in the RDS character set (IEC 62106-2, Annex E) go on air as the
// client sent them, and a request gives back the same bytes: letters beyond
// ASCII keep their codes of that table, not Windows-1250's.
// A server's text is in the RDS table: the station keeps it in its own code
// page, the memory holds the server's bytes.
TEST_F(UecpSessionTest, TextsGoOnAirByteForByte) {
    Mode(1);
    const Bytes ps{kMecPs, 0, 0, 0xCB, 'E', 'S', 'K', 0xE5, ' ', ' ', ' '};  // "ČESKÝ"
    const std::string rds(ps.begin() + 3, ps.end());
    Send(ps);
    EXPECT_EQ(program_->View().Station().PS,
              "\xC8"
              "ESK\xDD   ")
        << "in Windows-1250";
    const auto onAir = [&] {
        const MemoryDump memory = program_->View().Preview();
        return DecodeEncoderMemory(memory.area1, memory.area2);
    };
    EXPECT_EQ(onAir().ps.bytes, rds) << "the memory holds the client's bytes";
    EXPECT_EQ(onAir().ps.Shown(), "\u010CESK\u00DD   ");
    const auto asked = Send({kMecRequest, 3, kMecPs, 0, 0});
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(std::string(asked[0].data.begin(), asked[0].data.end()), rds);

    const Bytes rt{kMecRt, 0, 0, 7, 0x00, 'D', 'v', 'o', 0xDA, 0x80, 'k'};  // "Dvořák"
    Send(rt);
    EXPECT_EQ(program_->View().Station().RT, "Dvo\xF8\xE1k");
    EXPECT_EQ(onAir().rt->Shown().substr(0, 8), "Dvo\u0159\u00E1k");

    // "CAFÈ": È has no place in Windows-1250; the memory still gets the
    // server's bytes, until the field is changed otherwise
    const Bytes cafe{kMecPs, 0, 0, 'C', 'A', 'F', 0xC3, ' ', ' ', ' ', ' '};
    Send(cafe);
    EXPECT_EQ(program_->View().Station().PS, "CAFE    ");
    EXPECT_EQ(onAir().ps.Shown(), "CAF\u00C8    ");
    const auto again = Send({kMecRequest, 3, kMecPs, 0, 0});
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].data, Bytes(cafe.begin() + 3, cafe.end()));
    test::Do(*program_, SetFields{{{FieldId::PS, std::string("CAFE    ")}}});
    EXPECT_EQ(onAir().ps.Shown(), "CAFE    ") << "the operator's own text";
}

// A request for a radiotext names its buffer's index; an empty one is
// answered with length 0.
TEST_F(UecpSessionTest, RadiotextRequestsAnswerPerBufferIndex) {
    Mode(1);
    Send(Radiotext(0x00, "First"));
    Send(Radiotext(0x40, "Second"));
    const auto text = [&](std::optional<std::uint8_t> index) {
        Bytes request{kMecRequest, 3, kMecRt, 0, 0};
        if (index) {
            request[1] = 4;
            request.push_back(*index);
        }
        const auto answer = Send(request);
        EXPECT_EQ(answer.size(), 1u);
        const Bytes& data = answer.at(0).data;
        return data.empty() ? std::string("(MEL 0)") : std::string(data.begin() + 1, data.end());
    };
    EXPECT_EQ(text(std::nullopt), "First") << "without an index, the one on air";
    EXPECT_EQ(text(0), "First");
    EXPECT_EQ(text(1), "Second");
    EXPECT_EQ(text(2), "(MEL 0)");
}

// A.6.18: every error of a frame is told; one already acknowledged in mode
// 2 is not told again after a change to mode 1, nor does it hide a newer one.
TEST_F(UecpSessionTest, AcknowledgementsHideNoErrorAndTellNoneTwice) {
    Mode(2);
    EXPECT_EQ(SendAndAck({kMecPty, 0, 0, 1}), 0);
    sequence_ += 2;
    const auto gapped = Send({kMecPty, 2, 0, 5});
    std::vector<int> codes;
    for (const UecpElement& element : gapped) {
        codes.push_back(element.data.at(0));
    }
    EXPECT_THAT(codes, ElementsAre(2, 4)) << "the gap and the element's own data set error";
    EXPECT_EQ(SendAndAck({0x0E, 0x01, 0x00, kMecPty, 0, 0, 9}), 14)
        << "a standard element this encoder does not carry";
    EXPECT_EQ(program_->View().Station().PTY, 9) << "and the element after it is still taken";

    Mode(1);
    Send({kMecPty, 0, 0, 99});
    const auto told = Send({kMecRequest, 1, kMecAcknowledgement});
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].data.at(0), 6) << "the newer error, not the one mode 2 acknowledged";
}

// A frame after a gap is applied; the log says so beside the change.
TEST_F(UecpSessionTest, AFrameAfterAGapIsLoggedAsApplied) {
    Send({kMecPty, 0, 0, 1});
    sequence_ += 4;
    Send({kMecPty, 0, 0, 2});
    ASSERT_FALSE(program_.remote.empty());
    EXPECT_EQ(program_.remote.back().refused, "");
    EXPECT_THAT(program_.remote.back().command, HasSubstr("after a sequence gap"));
    EXPECT_THAT(program_.remote.back().changed.Keys(), ElementsAre("PTY"));
}

TEST_F(UecpSessionTest, RadiotextBuffersFlushAppendToggleAndClear) {
    Mode(2);
    ASSERT_EQ(SendAndAck(Radiotext(0x00, "First")), 0);
    EXPECT_EQ(program_->View().Station().RT, "First");
    EXPECT_EQ(program_->View().Station().SELRT, 1);
    const int ab = program_->View().RadiotextAb().flag;
    ASSERT_EQ(SendAndAck(Radiotext(0x40, "Second")), 0);
    ASSERT_EQ(SendAndAck(Radiotext(0x40, "Third")), 0);
    ASSERT_EQ(SendAndAck(Radiotext(0x41, "Fourth")), 0);
    EXPECT_EQ(program_->View().Station().RT2, "Second");
    EXPECT_EQ(program_->View().Station().RT3, "Third");
    EXPECT_EQ(program_->View().Station().RT4, "Fourth");
    EXPECT_NE(program_->View().RadiotextAb().flag, ab) << "the toggle bit flips the A/B flag";
    EXPECT_EQ(SendAndAck(Radiotext(0x40, "Fifth")), 11) << "no buffer left";
    EXPECT_EQ(SendAndAck(Radiotext(0x20, "Reserved")), 6);
    EXPECT_EQ(SendAndAck(Radiotext(0x00, std::string(65, 'x'))), 7);
    ASSERT_EQ(SendAndAck(Radiotext(0x00, "Anew")), 0);
    EXPECT_EQ(program_->View().Station().RT, "Anew");
    EXPECT_EQ(program_->View().Station().RT2, "") << "a flush empties the cycle";
    ASSERT_EQ(SendAndAck({kMecRt, 0, 0, 0}), 0);
    EXPECT_EQ(program_->View().Station().RT, "");
}

TEST_F(UecpSessionTest, DataSetsAreTheBanksAndServicesAreChecked) {
    Use({{}, {6}});
    Mode(2);
    EXPECT_EQ(SendAndAck({kMecPty, 1, 6, 5}), 0) << "bank 1 is the current data set";
    EXPECT_EQ(SendAndAck({kMecPty, 255, 0, 6}), 0);
    EXPECT_EQ(SendAndAck({kMecPty, 254, 0, 7}), 0);
    EXPECT_EQ(SendAndAck({kMecPty, 2, 6, 8}), 4);
    EXPECT_EQ(SendAndAck({kMecPty, 0, 7, 9}), 5);
    EXPECT_EQ(program_->View().Station().PTY, 7);

    const int before = program_.sends;
    EXPECT_EQ(SendAndAck({kMecDataSetSelect, 2}), 0);
    EXPECT_EQ(program_->View().Station().STB, 2);
    program_.SendSoon();
    EXPECT_EQ(program_.sends, before + 1) << "a data set chosen goes on air";
    EXPECT_EQ(SendAndAck({kMecPty, 2, 0, 10}), 0) << "now bank 2 is current";
    EXPECT_EQ(SendAndAck({kMecDataSetSelect, 3}), 4);
    EXPECT_EQ(program_->View().Station().STB, 2);
}

TEST_F(UecpSessionTest, ModesDecideWhatIsAnswered) {
    EXPECT_THAT(Send({kMecRequest, 3, kMecPty, 0, 0}), IsEmpty()) << "mode 0 says nothing";
    Mode(1);
    EXPECT_THAT(Send({kMecPty, 0, 0, 4}), IsEmpty()) << "mode 1 does not acknowledge";
    const auto pty = Send({kMecRequest, 3, kMecPty, 0, 0});
    ASSERT_EQ(pty.size(), 1u);
    EXPECT_EQ(pty[0].mec, kMecPty);
    EXPECT_THAT(pty[0].data, ElementsAre(4));
    const auto ps = Send({kMecRequest, 3, kMecPs, 0, 0});
    ASSERT_EQ(ps.size(), 1u);
    EXPECT_EQ(RdsToStationText(std::string(ps[0].data.begin(), ps[0].data.end())), "FM RADIO");

    Send({kMecPty, 0, 0, 99});  // refused, quietly in mode 1
    const auto trouble = Send({kMecRequest, 1, kMecAcknowledgement});
    ASSERT_EQ(trouble.size(), 1u);
    EXPECT_EQ(trouble[0].data[0], 6) << "the trouble since the last answer";
    const auto none = Send({kMecRequest, 1, kMecAcknowledgement});
    ASSERT_EQ(none.size(), 1u);
    EXPECT_THAT(none[0].data, ElementsAre(0));

    Mode(2);
    const auto both = Send({kMecRequest, 3, kMecTaTp, 0, 0});
    ASSERT_EQ(both.size(), 2u) << "an acknowledgement and the answer";
    EXPECT_EQ(Ack(both), 0);
    EXPECT_EQ(SendAndAck({kMecClock, 26, 12, 8, 12, 0, 0, 0, 0}), 14) << "no clock here";
    EXPECT_EQ(SendAndAck({kMecPty, 0, 0, 3, 0x99, 1}), 3);
    EXPECT_EQ(program_->View().Station().PTY, 3)
        << "what came before the unknown element was taken";
}

TEST_F(UecpSessionTest, AGapInTheSequenceIsToldAndTheFrameStillTaken) {
    Mode(2);
    EXPECT_EQ(SendAndAck({kMecPty, 0, 0, 1}), 0);
    sequence_ += 3;
    const auto answer = Send({kMecPty, 0, 0, 2});
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_THAT(answer[0].data, ElementsAre(2, sequence_));
    EXPECT_EQ(program_->View().Station().PTY, 2);
    EXPECT_EQ(SendAndAck({kMecPty, 0, 0, 3}), 0) << "counted on from the last";

    sequence_ = 253;
    Mode(2);  // the mode starts the count anew
    EXPECT_EQ(SendAndAck({kMecPty, 0, 0, 4}), 0);
    EXPECT_EQ(SendAndAck({kMecPty, 0, 0, 5}), 0) << "255 is followed by 1";
    EXPECT_EQ(sequence_, 1);

    const auto broken = session_.Take(*program_, UecpReading{std::nullopt, UecpCode::CrcError, 9});
    EXPECT_THAT(Answer(broken)[0].data, ElementsAre(1, 9));
    EXPECT_THAT(program_.Refusals(), Contains(HasSubstr("CRC")));
}

TEST_F(UecpSessionTest, ABurstOfChangesAsksForOneSendSoon) {
    Mode(0);
    Send(Text(kMecPs, "ONE     "));
    Send({kMecPty, 0, 0, 12});
    Send(Radiotext(0x00, "Burst"));
    const auto& timers = program_.Host().timerEvents;
    EXPECT_EQ(std::count(timers.begin(), timers.end(), "send soon 100"), 1);
    const int before = program_.sends;
    program_.SendSoon();
    EXPECT_EQ(program_.sends, before + 1);
    Send({kMecPty, 0, 0, 12});
    EXPECT_EQ(std::count(timers.begin(), timers.end(), "send soon 100"), 1)
        << "a value set again changes nothing on air";
}

}  // namespace
}  // namespace vaxo
