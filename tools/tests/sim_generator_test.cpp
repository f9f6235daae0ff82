// The event generator, the device's byte form and the log modes, in-process.

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tools/sim_credentials.h"
#include "tools/sim_device_log.h"
#include "tools/sim_event.h"
#include "tools/sim_export_body.h"
#include "tools/sim_render.h"
#include "tools/tests/sim_client.h"

namespace ixan::sim {
namespace {

std::set<std::string> column(const std::vector<SimEvent>& events, std::string SimEvent::*field) {
    std::set<std::string> values;
    for (const SimEvent& e : events) {
        values.insert(e.*field);
    }
    return values;
}

std::set<std::string> numbers(int from, int to) {
    std::set<std::string> out;
    for (int i = from; i <= to; ++i) {
        out.insert(std::to_string(i));
    }
    return out;
}

void expectContains(const std::set<std::string>& have, const std::set<std::string>& want,
                    const std::string& what, std::uint64_t seed) {
    for (const std::string& w : want) {
        EXPECT_TRUE(have.count(w) == 1) << what << " \"" << w << "\" missing, seed " << seed;
    }
}

TEST(SimEventGenerator, DefaultLogShowsEveryCodeAndSpecialValue) {
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        for (int device = 0; device < 3; ++device) {
            const std::vector<SimEvent> log = generateEvents(seed, device, 0, 50);
            std::set<std::string> triggers = numbers(0, 13);
            triggers.insert("-1");
            expectContains(column(log, &SimEvent::ausloeser), triggers, "trigger", seed);
            expectContains(column(log, &SimEvent::ereignis), numbers(0, 32), "event", seed);
            std::set<std::string> modules = numbers(0, 4);
            modules.insert({"9", "03"});
            expectContains(column(log, &SimEvent::kartentyp), modules, "module", seed);

            std::vector<SimEvent> fingerRows;
            for (const SimEvent& e : log) {
                if (isFingerprintModule(e.kartentyp)) {
                    fingerRows.push_back(e);
                }
            }
            std::set<std::string> fingers = numbers(0, 10);
            fingers.insert("1234567");
            expectContains(column(fingerRows, &SimEvent::kartennummer), fingers, "finger", seed);

            const std::set<std::string> users = column(log, &SimEvent::benutzer);
            expectContains(users, {"Patrick O'Neill", "Jürgen Weiß", ""}, "user", seed);
            expectContains(column(log, &SimEvent::kartennummer), {""}, "card", seed);
            expectContains(column(log, &SimEvent::tuername),
                           {"Tür Süd", "Haupteingang", "Büro 2.OG", "Lager Öl"}, "door", seed);
        }
    }
}

TEST(SimEventGenerator, ValuesFitTheRecordFormat) {
    const std::regex datum(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d)");
    for (const SimEvent& e : generateEvents(7, 2, 0, 3000)) {
        for (const std::string* v : {&e.ip, &e.datum, &e.tuername, &e.ausloeser, &e.ereignis,
                                     &e.benutzer, &e.kartennummer, &e.kartentyp}) {
            EXPECT_EQ(v->find_first_of(",\t\r\n"), std::string::npos) << *v;
            // Only Latin-1 characters: a %XX escape of the Windows-1252 code gives them back.
            for (std::size_t i = 0; i < v->size(); ++i) {
                const auto b = static_cast<unsigned char>((*v)[i]);
                if (b >= 0x80) {
                    ASSERT_TRUE(b == 0xC2 || b == 0xC3) << *v;
                    const auto next = static_cast<unsigned char>((*v)[++i]);
                    EXPECT_TRUE(b == 0xC3 || next >= 0xA0) << *v;
                }
            }
        }
        EXPECT_TRUE(std::regex_match(e.datum, datum)) << e.datum;
        EXPECT_EQ(e.ip, "192.168.10.23");
    }
}

TEST(SimEventGenerator, DatesIncreaseAcrossDaysAndMonths) {
    const auto key = [](const std::string& d) {  // DD.MM.YYYY HH:MM:SS -> sortable
        return d.substr(6, 4) + d.substr(3, 2) + d.substr(0, 2) + d.substr(11);
    };
    std::string previous;
    for (const SimEvent& e : generateEvents(3, 0, 0, 20000)) {
        ASSERT_LT(previous, key(e.datum)) << e.datum;
        previous = key(e.datum);
    }
    EXPECT_GT(previous, "20240401") << "20000 events span more than a month";
}

TEST(SimEventGenerator, SameInputsSameEventsOtherwiseDifferent) {
    EXPECT_EQ(renderEventTable(generateEvents(5, 1, 10, 40)),
              renderEventTable(generateEvents(5, 1, 10, 40)));
    // Any event can be generated alone, without its predecessors.
    EXPECT_EQ(renderEventTable(generateEvents(5, 1, 30, 1)),
              renderEventTable(std::vector<SimEvent>{generateEvent(5, 1, 30)}));
    EXPECT_NE(renderEventTable(generateEvents(5, 1, 0, 40)),
              renderEventTable(generateEvents(6, 1, 0, 40)));
    EXPECT_NE(generateEvent(5, 0, 0).ip, generateEvent(5, 1, 0).ip);
    EXPECT_EQ(deviceIp(0), "192.168.10.21");
}

TEST(SimRender, FieldsInTheDeviceForms) {
    struct Case {
        std::string text;
        Charset charset;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"Tür Süd", Charset::Escaped, "T%FCr S%FCd"},
        {"Jürgen Weiß", Charset::Escaped, "J%FCrgen Wei%DF"},
        {"Kühlraum -18°C", Charset::Escaped, "K%FChlraum -18%B0C"},
        {"100% sicher", Charset::Escaped, "100%25 sicher"},
        {"a+b&c=d O'Neill", Charset::Escaped, "a+b&c=d O'Neill"},
        {"Tür", Charset::Cp1252, "T\xFCr"},
        {"100%", Charset::Cp1252, "100%25"},
        {"Tür", Charset::Utf8, "T\xC3\xBCr"},
        {"100%", Charset::Utf8, "100%25"},
        {"", Charset::Escaped, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encodeField(c.text, c.charset), c.expected)
            << "text \"" << c.text << "\" charset " << static_cast<int>(c.charset);
    }
}

TEST(SimRender, EveryFormDecodesBackToTheEvents) {
    const std::vector<SimEvent> events = generateEvents(11, 0, 0, 200);
    const std::string table = renderEventTable(events);
    for (const Charset charset : {Charset::Escaped, Charset::Cp1252, Charset::Utf8}) {
        for (const bool crlf : {false, true}) {
            const std::string body = renderExport(events, {charset, crlf});
            EXPECT_EQ(test::exportToTable(test::decodeBody(body, charset)), table)
                << "charset " << static_cast<int>(charset) << " crlf " << crlf;
        }
    }
    const std::string escaped = renderExport(events, {});
    for (const char c : escaped) {
        ASSERT_LT(static_cast<unsigned char>(c), 0x80) << "escaped form is ASCII";
    }
}

TEST(SimRender, TruncatedExportStopsInsideTheLastDoorName) {
    const std::vector<SimEvent> events = generateEvents(2, 0, 0, 5);
    for (const Charset charset : {Charset::Escaped, Charset::Cp1252, Charset::Utf8}) {
        const RenderOptions options{charset, false};
        const std::string full = renderExport(events, options);
        const std::string cut = renderTruncatedExport(events, options);
        ASSERT_FALSE(cut.empty());
        EXPECT_EQ(full.substr(0, cut.size()), cut) << "a prefix of the full export";
        EXPECT_NE(cut.back(), '\n');
        const std::string lastLine = cut.substr(cut.rfind('\n') + 1);
        EXPECT_EQ(std::count(lastLine.begin(), lastLine.end(), ','), 2) << lastLine;
        EXPECT_NE(lastLine.back(), '%') << "no escape is split";
        EXPECT_EQ(std::count(cut.begin(), cut.end(), '\n'), 4);
    }
    EXPECT_EQ(renderTruncatedExport({}, {}), "");
}

TEST(SimDeviceLog, RingAndIncrementalExports) {
    struct Case {
        const char* name;
        DeviceLogSettings settings;
        std::vector<EventRange> exports;
    };
    const std::vector<Case> cases = {
        {"ring repeats the log", {5, 5, 0, LogMode::Ring}, {{0, 5}, {0, 5}, {0, 5}}},
        {"ring drops the oldest", {4, 5, 2, LogMode::Ring}, {{1, 5}, {3, 5}, {5, 5}}},
        {"ring of an empty log", {0, 0, 0, LogMode::Ring}, {{0, 0}, {0, 0}}},
        {"incremental delivers once", {5, 5, 0, LogMode::Incremental}, {{0, 5}, {5, 0}, {5, 0}}},
        {"incremental with new events", {3, 3, 2, LogMode::Incremental}, {{0, 5}, {5, 2}, {7, 2}}},
    };
    for (const Case& c : cases) {
        DeviceLog log(c.settings);
        for (std::size_t i = 0; i < c.exports.size(); ++i) {
            const EventRange peeked = log.peekExport();
            const EventRange taken = log.takeExport();
            EXPECT_EQ(peeked, taken) << c.name << ", export " << i;
            EXPECT_EQ(taken.first, c.exports[i].first) << c.name << ", export " << i;
            EXPECT_EQ(taken.count, c.exports[i].count) << c.name << ", export " << i;
        }
    }
}

TEST(SimExportBody, RepeatedPatternAcrossChunkBoundaries) {
    const ExportBody body = ExportBody::repeated("abc\n", 10);
    std::string all(10, '\0');
    EXPECT_EQ(body.copy(0, 10, all.data()), 10u);
    EXPECT_EQ(all, "abc\nabc\nab");
    std::string part(8, '\0');
    EXPECT_EQ(body.copy(6, 8, part.data()), 4u) << "clipped at the end";
    EXPECT_EQ(part.substr(0, 4), "c\nab");
    EXPECT_EQ(body.copy(10, 4, part.data()), 0u);
}

TEST(SimCredentials, FormBodies) {
    struct Case {
        std::string body;
        bool ok;
        std::string user;
        std::string pass;
    };
    const std::vector<Case> cases = {
        {"user=Service&pass=Fenwix", true, "Service", "Fenwix"},
        {"user=&pass=", true, "", ""},
        {"user=a&b&pass=p&pass=q", true, "a&b", "p&pass=q"},
        {"user=x%41&pass=1+2 3", true, "x%41", "1+2 3"},
        {"user=Service", false, "", ""},
        {"pass=Fenwix&user=Service", false, "", ""},
        {"", false, "", ""},
        {" user=Service&pass=Fenwix", false, "", ""},
    };
    for (const Case& c : cases) {
        const auto parsed = parseFormCredentials(c.body);
        ASSERT_EQ(parsed.has_value(), c.ok) << "body \"" << c.body << "\"";
        if (parsed) {
            EXPECT_EQ(parsed->user, c.user) << "body \"" << c.body << "\"";
            EXPECT_EQ(parsed->pass, c.pass) << "body \"" << c.body << "\"";
        }
    }
}

}  // namespace
}  // namespace ixan::sim
