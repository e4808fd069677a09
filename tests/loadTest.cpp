// The load sequence: every registration in order, the desktop-based defaults,
// the two mirrored switches and the data folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "quillfort/events.h"
#include "support/session.h"
#include "words.h"

using support::Session;

namespace {

const char* const hookNames[] = {
    Quillfort::Events::matchEnded,
    Quillfort::Events::playerScored,
    Quillfort::Events::firstBallHit,
    Quillfort::Events::enteredMenu,
};

struct Expected {
    const char* name;
    const char* value;
    const char* description;
    bool hasBounds;
    float min, max;
};

void expectVariable(simhost::Host& host, const Expected& expected)
{
    SCOPED_TRACE(expected.name);
    const simhost::ConsoleVariable* variable = host.findVariable(expected.name);
    ASSERT_NE(variable, nullptr);
    EXPECT_EQ(variable->defaultValue, expected.value);
    EXPECT_EQ(variable->value, expected.value);
    EXPECT_EQ(variable->description, expected.description);
    EXPECT_TRUE(variable->searchable);
    EXPECT_TRUE(variable->saveToConfig);
    EXPECT_EQ(variable->hasMin, expected.hasBounds);
    EXPECT_EQ(variable->hasMax, expected.hasBounds);
    EXPECT_EQ(variable->min, expected.min);
    EXPECT_EQ(variable->max, expected.max);
}

} // namespace

TEST(LoadSequence, RegistersEverythingInOrder)
{
    Session session;
    session.load();
    const std::vector<std::string> expected = {
        "RegisterDrawable",
        "registerCvar posx",
        "registerCvar posy",
        "registerCvar scale",
        "registerCvar enable_plugin",
        "registerCvar hide_plugin",
        "registerCvar input_mmr",
        "addOnValueChanged enable_plugin",
        "addOnValueChanged hide_plugin",
        "registerNotifier reset",
        "registerNotifier add_win",
        "registerNotifier add_loss",
        "registerNotifier update_mmr",
        std::string("HookEvent ") + hookNames[0],
        std::string("HookEvent ") + hookNames[1],
        std::string("HookEvent ") + hookNames[2],
        std::string("HookEvent ") + hookNames[3],
    };
    EXPECT_EQ(session.host.registrations(), expected);
    // An unloaded module's registrations go with it, so reloads keep the host small.
    for (int reload = 0; reload < 3; ++reload) {
        session.unload();
        EXPECT_EQ(session.host.registrations(), std::vector<std::string>{});
        session.load();
    }
    EXPECT_EQ(session.host.registrations(), expected);
}

TEST(LoadSequence, RegistersTheConsoleVariablesWithDesktopDefaults)
{
    Session session(1920, 1080);
    session.load();
    // The defaults of desktops whose size the plugin may measure (on Windows the
    // real one: Wine without a display reports 1024 x 768), worked out by hand.
    const struct {
        int width, height;
        const char *posx, *posy;
    } known[] = {{1920, 1080, "19", "702"}, {1024, 768, "10", "499"},   {1280, 720, "12", "468"},
                 {2560, 1440, "25", "936"}, {3840, 2160, "38", "1404"}, {1366, 768, "13", "499"}};
    const RECT rect = support::measuredDesktop();
    const auto desktop = std::find_if(std::begin(known), std::end(known), [&](const auto& size) {
        return size.width == rect.right && size.height == rect.bottom;
    });
    expectVariable(session.host, {"scale", "1", "Scale", true, 1.0f, 3.0f});
    expectVariable(session.host, {"enable_plugin", "1", "Enable Plugin", true, 0.0f, 1.0f});
    expectVariable(session.host, {"hide_plugin", "0", "Hide Plugin", true, 0.0f, 1.0f});
    expectVariable(session.host, {"input_mmr", "0", "", false, 0.0f, 0.0f});
    EXPECT_EQ(session.plugin().screenWidth, rect.right);
    EXPECT_EQ(session.plugin().screenHeight, rect.bottom);
    ASSERT_NE(desktop, std::end(known)) << "no defaults worked out by hand for a desktop of " << rect.right
                                        << " x " << rect.bottom << ": add them to the table";
    const std::string posx = desktop->posx, posy = desktop->posy;
    expectVariable(session.host, {"posx", posx.c_str(), "La position en X", true, 0.0f, float(rect.right)});
    expectVariable(session.host, {"posy", posy.c_str(), "La position en Y", true, 0.0f, float(rect.bottom)});
}

#if !defined(_WIN32)
TEST(LoadSequence, DesktopDefaultsTruncateNeverRoundUp)
{
    Session session(1366, 768);
    session.load();
    EXPECT_EQ(session.host.findVariable("posx")->defaultValue, "13");
    EXPECT_EQ(session.host.findVariable("posy")->defaultValue, "499");
    EXPECT_EQ(session.host.findVariable("posx")->max, 1366.0f);
    EXPECT_EQ(session.host.findVariable("posy")->max, 768.0f);
}

TEST(LoadSequence, HugeDesktopHeightGivesTheExactDefaultWithoutOverflow)
{
    Session session(100, 2000000000);
    session.load();
    EXPECT_EQ(session.host.findVariable("posy")->defaultValue, "1300000000");
}
#endif

TEST(LoadSequence, RegistersTheFourCommandsWithPermissionZero)
{
    Session session;
    session.load();
    const auto& notifiers = session.host.notifiers();
    ASSERT_EQ(notifiers.size(), 4u);
    const std::pair<const char*, const char*> expected[] = {
        {"reset", "Reset"}, {"add_win", "Add Win"}, {"add_loss", "Add Loss"}, {"update_mmr", "Update MMR"}};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(expected[i].first);
        EXPECT_EQ(notifiers[i].name, expected[i].first);
        EXPECT_EQ(notifiers[i].description, expected[i].second);
        EXPECT_EQ(notifiers[i].permissions, 0);
    }
}

TEST(Switches, EnableAndHideMirrorTheirVariablesIndependently)
{
    Session session;
    session.load();
    session.console("enable_plugin 0");
    EXPECT_FALSE(session.plugin().enabled);
    EXPECT_FALSE(session.plugin().hidden);
    session.console("hide_plugin 1");
    EXPECT_TRUE(session.plugin().hidden);
    EXPECT_FALSE(session.plugin().enabled);
    session.console("enable_plugin 1");
    EXPECT_TRUE(session.plugin().enabled);
    EXPECT_TRUE(session.plugin().hidden);
}

TEST(Switches, AValueHeldBeforeTheCallbackExistedIsNotCopied)
{
    Session session;
    session.load();
    session.console("enable_plugin 0");
    session.console("hide_plugin 1");
    session.unload();
    session.load(); // the host keeps its variables across a reload
    EXPECT_EQ(session.host.findVariable("enable_plugin")->value, "0");
    EXPECT_TRUE(session.plugin().enabled);
    EXPECT_FALSE(session.plugin().hidden);
}

TEST(DataFolder, ConvertsUnitsToUtf8)
{
    const std::pair<std::u16string, std::string> cases[] = {
        {u"C:/Users/Player/AppData", "C:/Users/Player/AppData"},
        {u"\u00e9\u07ff", "\xc3\xa9\xdf\xbf"},
        {u"\u0800\u20ac\uffff", "\xe0\xa0\x80\xe2\x82\xac\xef\xbf\xbf"},
        {u"a\U0001F600b", "a\xf0\x9f\x98\x80"
                          "b"},
        {std::u16string(1, char16_t(0xD83D)) + u"x", "\xed\xa0\xbdx"},
        {u"x" + std::u16string(1, char16_t(0xDE00)), "x\xed\xb8\x80"},
    };
    for (const auto& [units, bytes] : cases) {
        SCOPED_TRACE(qsim::quoted(bytes));
        Session session;
        session.host.setDataFolderUnits(units);
        session.load();
        EXPECT_EQ(session.plugin().dataFolder, bytes);
    }
}
