#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>

#include "base/file_io.h"
#include "net/asio_addresses.h"
#include "platform/private_files.h"
#include "tests/support/fresh_boot.h"
#include "tests/support/temp_dir.h"
#include "web/api_json.h"
#include "web/certificate_ends.h"
#include "web/embedded_files.h"
#include "web/html_text.h"
#include "web/password_file.h"
#include "web/password_hash.h"
#include "web/sessions.h"
#include "web/sign_in_guard.h"
#include "web/station_files.h"
#include "web/web_app.h"
#include "web/web_config.h"

namespace vaxo {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(PasswordHash, OnlyTheRightPasswordOfAWellFormedHashMatches) {
    const std::string hash = HashPassword("correct horse");
    EXPECT_TRUE(hash.starts_with("$argon2id$v=19$m=19456,t=2,p=1$")) << hash;
    EXPECT_NE(hash, HashPassword("correct horse")) << "each hash has its own salt";
    EXPECT_TRUE(PasswordMatches("correct horse", hash));
    EXPECT_FALSE(PasswordMatches("correct horsE", hash));
    EXPECT_FALSE(PasswordMatches("", hash));

    // Doctored or foreign strings are refused, never taken as costs.
    const std::string rest = hash.substr(hash.find("$", 30));
    for (const std::string& bad : std::vector<std::string>{
             std::string(), std::string("plain"), "$argon2i$v=19$m=19456,t=2,p=1" + rest,
             "$argon2id$v=16$m=19456,t=2,p=1" + rest, "$argon2id$v=19$m=4000000,t=2,p=1" + rest,
             "$argon2id$v=19$m=19456,t=99,p=1" + rest, "$argon2id$v=19$m=19456,t=2" + rest,
             "$argon2id$v=19$m=19456,t=2,p=1$!!!$AAAA", hash.substr(0, hash.size() - 5),
             hash + "$"}) {
        EXPECT_FALSE(PasswordMatches("correct horse", bad)) << bad;
    }
}

TEST(PasswordHash, TokensAreRandomHexAndComparedWhole) {
    const std::string token = RandomToken();
    EXPECT_EQ(token.size(), 64U);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(token, RandomToken());
    EXPECT_TRUE(SameSecret(token, token));
    EXPECT_FALSE(SameSecret(token, token.substr(0, 63)));
    EXPECT_FALSE(SameSecret("", token));
    EXPECT_FALSE(SameSecret(token, std::string(64, '0')));
}

TEST(PasswordFile, WrittenForItsOwnerAndReadBack) {
    test::TempDir dir;
    const std::string path = dir / "vaxow.passwd";
    EXPECT_FALSE(ReadPasswordFile(path)) << "no file: no passwords, no error";
    WritePasswordFile(path, {"$argon2id$op", "$argon2id$view"});
    EXPECT_EQ(WhyNotPrivate(path), std::nullopt);
    const auto read = ReadPasswordFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->operatorHash, "$argon2id$op");
    EXPECT_EQ(read->viewerHash, "$argon2id$view");

    test::WriteBytes(path, "# only a viewer\r\nviewer $argon2id$view\r\n");
    EXPECT_THROW(ReadPasswordFile(path), FileError) << "a file without the operator is an error";

    EXPECT_EQ(WeakPasswordReason("abc"), "a password has at least 8 characters");
    EXPECT_EQ(WeakPasswordReason("12345678\t"), "a password has no control characters");
    EXPECT_EQ(WeakPasswordReason("zwölf Zeichen"), std::nullopt);
}

TEST(Sessions, EndWhenIdleOrSignedOutAndStayBounded) {
    SessionStore store(30min, 3);
    const auto start = test::kJustBooted;
    const WebSession first = store.Open(WebRole::Operator, "127.0.0.1", start);
    EXPECT_NE(first.id, first.token);
    ASSERT_NE(store.Find(first.id, start + 29min), nullptr);
    ASSERT_NE(store.Find(first.id, start + 58min), nullptr)
        << "each use starts the idle time again";
    EXPECT_EQ(store.Find(first.id, start + 89min), nullptr);
    EXPECT_EQ(store.Find("", start), nullptr);

    const auto later = start + 2h;
    const std::string a = store.Open(WebRole::Viewer, "a", later).id;
    const std::string b = store.Open(WebRole::Viewer, "b", later + 1s).id;
    const std::string c = store.Open(WebRole::Viewer, "c", later + 2s).id;
    store.Open(WebRole::Viewer, "d", later + 3s);
    EXPECT_EQ(store.Count(), 3U);
    EXPECT_EQ(store.Find(a, later + 4s), nullptr) << "the oldest went";
    store.Close(b);
    EXPECT_EQ(store.Find(b, later + 4s), nullptr);
    EXPECT_NE(store.Find(c, later + 4s), nullptr);
}

TEST(SignInGuard, FiveFreeAttemptsThenAGrowingWaitPerAddress) {
    SignInGuard guard;
    auto now = test::kJustBooted;
    for (int k = 1; k < SignInGuard::kFreeAttempts; ++k) {
        EXPECT_EQ(guard.Failed("10.0.0.1", now), k);
        EXPECT_EQ(guard.WaitFor("10.0.0.1", now), Clock::duration::zero());
    }
    std::vector<Clock::duration> waits;
    for (int k = 0; k < 12; ++k) {
        guard.Failed("10.0.0.1", now);
        waits.push_back(guard.WaitFor("10.0.0.1", now));
        now += waits.back();
    }
    EXPECT_EQ(waits.front(), 1s);
    EXPECT_EQ(waits[1], 2s);
    EXPECT_EQ(waits[3], 8s);
    EXPECT_EQ(waits.back(), 5min) << "the wait stops growing";
    EXPECT_EQ(guard.WaitFor("10.0.0.2", now), Clock::duration::zero()) << "others are not held";

    guard.Succeeded("10.0.0.1");
    EXPECT_EQ(guard.Failed("10.0.0.1", now), 1);
    guard.Failed("10.0.0.3", now);
    EXPECT_EQ(guard.Failed("10.0.0.3", now + 2h), 1) << "an hour without failing forgives";
}

TEST(HtmlText, EscapesFillsAndReadsFormsAndCookies) {
    EXPECT_EQ(EscapeHtml("<script>alert(\"1\")</script> & 'x'"),
              "&lt;script&gt;alert(&quot;1&quot;)&lt;/script&gt; &amp; &#39;x&#39;");
    EXPECT_EQ(FillTemplate("<p>{{a}}|{{missing}}|{{b}}</p>{{open", {{"a", "A"}, {"b", "{{a}}"}}),
              "<p>A||{{a}}</p>{{open")
        << "values are not filled again";

    const std::string body = "user=op&password=p%40ss+word%21&csrf=abc&empty=";
    EXPECT_EQ(FormField(body, "password"), "p@ss word!");
    EXPECT_EQ(FormField(body, "empty"), "");
    EXPECT_EQ(FormField(body, "pass"), std::nullopt);
    EXPECT_EQ(FormField("a=%4", "a"), std::nullopt);
    EXPECT_EQ(FormField("a=%zz", "a"), std::nullopt);
    EXPECT_EQ(FormField("a=%00", "a"), std::string(1, '\0'));

    EXPECT_EQ(CookieValue("theme=dark; vaxo_session=abc123 ;x=y", "vaxo_session"), "abc123");
    EXPECT_EQ(CookieValue("my_vaxo_session=1", "vaxo_session"), "");
    EXPECT_EQ(CookieValue("vaxo_session", "vaxo_session"), "");
}

TEST(WebConfig, BeyondLoopbackOnlyForAnAllowListOverHttpsUnlessAskedFor) {
    const auto check = [](std::vector<std::pair<std::string, std::string>> options,
                          std::vector<std::string> allowed = {}) {
        WebConfig config;
        for (const std::string& range : allowed) {
            std::string why;
            config.allowed.push_back(*ParseAddressRange(range, why));
        }
        bool known = false;
        for (const auto& [name, value] : options) {
            if (const auto why = TakeWebOption(config, name, value, known)) {
                return *why;
            }
        }
        return CheckWebConfig(config).value_or("");
    };
    EXPECT_EQ(check({{"web", "127.0.0.1:8080"}, {"web", "[::1]:8080"}}), "");
    EXPECT_NE(check({{"web", "0.0.0.0:8080"}}).find("--web-insecure"), std::string::npos);
    EXPECT_NE(check({{"web", "[::]:8080"}}).find("--web-insecure"), std::string::npos);
    EXPECT_EQ(check({{"web", "0.0.0.0:8080"}, {"web-insecure", ""}}), "");
    EXPECT_EQ(check({{"web", "127.0.0.1:8080"}, {"web-cert", "c.pem"}}),
              "--web-cert and --web-key go together");
    EXPECT_NE(check({{"web", "239.1.1.1:8080"}, {"web-insecure", ""}}), "");
    EXPECT_NE(check({{"web", "127.0.0.1"}}), "") << "a port is needed";
    EXPECT_NE(check({{"web", "0.0.0.0:8080"}}, {"192.0.2.0/24"}).find("--web-insecure"),
              std::string::npos)
        << "an allow list does not make plain HTTP safe";
    if (WebTlsBuiltIn()) {
        const std::vector<std::pair<std::string, std::string>> https{
            {"web", "0.0.0.0:8443"}, {"web-cert", "c.pem"}, {"web-key", "k.pem"}};
        EXPECT_NE(check(https).find("--allow"), std::string::npos)
            << "HTTPS alone still answers every address";
        EXPECT_EQ(check(https, {"192.0.2.0/24"}), "");
    }
    WebConfig config;
    bool known = true;
    EXPECT_EQ(TakeWebOption(config, "text-tcp", "127.0.0.1:1", known), std::nullopt);
    EXPECT_FALSE(known);

    // Loopback may always talk; others only from the list, or all when
    // the operator chose --web-insecure without one.
    std::string why;
    config.allowed = {*ParseAddressRange("192.0.2.0/28", why)};
    const auto bytes = [](const char* address) { return AddressBytes(address)->bytes; };
    EXPECT_TRUE(config.Allows(bytes("127.0.0.9")));
    EXPECT_TRUE(config.Allows(bytes("::1")));
    EXPECT_TRUE(config.Allows(bytes("192.0.2.15")));
    EXPECT_FALSE(config.Allows(bytes("192.0.2.16")));
    config.insecure = true;
    EXPECT_FALSE(config.Allows(bytes("198.51.100.1"))) << "a list given holds";
    config.allowed.clear();
    EXPECT_TRUE(config.Allows(bytes("198.51.100.1")));
}

TEST(WebStationFiles, OnlyNamesInsideTheFolderAndOnlyStationFilesFromOutside) {
    for (const char* good : {"rt.txt", "now*.txt", "Song_01-a.TXT"}) {
        EXPECT_EQ(FeedNameProblem(good), std::nullopt) << good;
    }
    for (const std::string& bad :
         std::vector<std::string>{"", "../rt.txt", "/etc/passwd", "C:\\rt.txt", ".hidden",
                                  "a b.txt", "rt.txt\n", std::string(101, 'a')}) {
        EXPECT_NE(FeedNameProblem(bad), std::nullopt) << bad;
    }

    EXPECT_EQ(UploadProblem("CLEAR\r\nPS=ROCK FM\r\nRTSF=rt.txt\r\nEXIT=0\r\n"), std::nullopt);
    EXPECT_EQ(UploadProblem("PS=ROCK FM\r\nRTSF=\r\n"), std::nullopt) << "no feed is fine";
    EXPECT_NE(UploadProblem(""), std::nullopt);
    EXPECT_NE(UploadProblem("\x89PNG\r\n\x1a\n"), std::nullopt);
    EXPECT_NE(UploadProblem(std::string("PS=ROCK\0FM", 10)), std::nullopt);
    EXPECT_NE(UploadProblem("PS=ROCK FM\nRTSF=/etc/shadow\n"), std::nullopt);
    EXPECT_NE(UploadProblem("PS=ROCK FM\nDPSSF=../x\n"), std::nullopt);
    EXPECT_NE(UploadProblem("PS=ROCK FM\nEXIT=1\n"), std::nullopt);

    test::TempDir dir;
    for (const char* name : {"b.rds", "a.rds", ".hidden.rds", "notes.txt", ".rds"}) {
        test::WriteBytes(dir / name, "PS=X\r\n");
    }
    std::filesystem::create_directory(dir / "folder.rds");
    EXPECT_EQ(StationFilesIn(dir.path().string()), (std::vector<std::string>{"a.rds", "b.rds"}));
    EXPECT_TRUE(StationFilesIn((dir / "absent")).empty());
}

// Every field the page may set has its control in the station's or the
// settings' form, named by the field's key, and every form control's name
// is a field's key: a field missing from the page, or a name no field has,
// fails here, not silently in the browser.
TEST(WebPages, EveryFieldOfThePageHasItsControlAndEveryControlItsField) {
    std::string forms;
    for (const char* page : {"station.html", "settings.html"}) {
        forms += std::string(EmbeddedFiles().at(page));
    }
    FieldsOfThePage().ForEach([&](FieldId id) {
        const std::string key = Field(id).key;
        EXPECT_TRUE(forms.find("name=\"" + key + "\"") != std::string::npos ||
                    forms.find("data-field=\"" + key + "\"") != std::string::npos)
            << key;
    });
    const std::regex named(R"re(name="([A-Z0-9]+)")re");
    for (auto it = std::sregex_iterator(forms.begin(), forms.end(), named);
         it != std::sregex_iterator(); ++it) {
        const StationField* field = FindField((*it)[1].str());
        ASSERT_NE(field, nullptr) << (*it)[1];
        EXPECT_TRUE(FieldsOfThePage().Has(field->id)) << (*it)[1];
    }
    EXPECT_FALSE(FieldsOfThePage().Has(FieldId::EXIT)) << "nothing from outside ends the program";
}

// The API's typed values: each field's value goes out and comes back as
// the same value, and a value of another form is refused with its field.
TEST(WebApi, TypedValuesGoOutAndComeBackTheSame) {
    RdsParameterSet set;
    set.PI = "D3C2";
    set.AF[0] = "87.6";
    set.DI = {true, false, false, true};
    set.PORT = 1;
    set.STB = 2;
    set.PS =
        "\x8A"
        "KODA";  // Š in Windows-1250
    const nlohmann::json fields = FieldsJson(set, '.');
    EXPECT_EQ(fields["PI"], "D3C2");
    EXPECT_EQ(fields["AF1"], 87.6);
    EXPECT_EQ(fields["AF2"], nullptr);
    EXPECT_EQ(fields["DI"]["dynamic_pty"], true);
    EXPECT_EQ(fields["PORT"], "LPT2");
    EXPECT_EQ(fields["STB"], 2);
    EXPECT_EQ(fields["PS"], "\xC5\xA0KODA");
    EXPECT_EQ(fields["RTFF"], false);
    for (const StationField& field : AllFields()) {
        const JsonValue back = FieldValueOf(field, fields[field.key]);
        ASSERT_TRUE(back.value) << field.key << ": " << back.refusal.why;
        const StrictReading held = CheckFieldValue(field, *back.value, '.');
        ASSERT_TRUE(held.value) << field.key;
        EXPECT_EQ(*held.value, field.get(set)) << field.key;
    }
    EXPECT_EQ(FieldValueOf(Field(FieldId::PTY), "10").refusal.code, RefusalCode::Malformed);
    EXPECT_EQ(FieldValueOf(Field(FieldId::PS), "\xE6\x97\xA5").refusal.why,
              "a character Windows-1250 lacks");
    EXPECT_EQ(HttpStatusOf(RefusalCode::Stale), 409);
    EXPECT_EQ(HttpStatusOf(RefusalCode::OutOfRange), 422);
}

}  // namespace
}  // namespace vaxo

namespace vaxo {
namespace {

// A certificate is told from a fortnight before it ends, in days, and once
// it has ended, as what browsers then do.
TEST(CertificateEnds, ToldFromAFortnightBeforeInDaysLeft) {
    using namespace std::chrono_literals;
    const auto now = std::chrono::system_clock::time_point() + 20000 * 24h;
    EXPECT_FALSE(CertificateEndsSoon("cert.pem", now + 14 * 24h + 1s, now));
    EXPECT_THAT(*CertificateEndsSoon("cert.pem", now + 9 * 24h + 5h, now),
                ::testing::EndsWith("(in 9 days): renew it and restart"));
    EXPECT_THAT(*CertificateEndsSoon("cert.pem", now + 25h, now),
                ::testing::HasSubstr("(in 1 day)"));
    EXPECT_THAT(*CertificateEndsSoon("cert.pem", now + 10h, now),
                ::testing::HasSubstr("(in less than a day)"));
    EXPECT_THAT(
        *CertificateEndsSoon("cert.pem", now - 1s, now),
        ::testing::AllOf(::testing::StartsWith("the web page's certificate cert.pem ended "),
                         ::testing::EndsWith(": browsers refuse the page")));
    EXPECT_FALSE(CertificateFileEnds("/no/such/cert.pem"));
}

}  // namespace
}  // namespace vaxo
