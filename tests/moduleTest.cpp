// The module boundary: the exports record, the one plugin object, and the loader.
#include <gtest/gtest.h>

#include <cstring>

#include "support/session.h"

using support::has;
using support::Session;

namespace {

using Create = std::uintptr_t (*)();
using Release = void (*)();

// Why the loader refused the module; empty when it loaded it.
std::string refusal(const std::filesystem::path& module)
{
    simhost::Host host;
    try {
        simhost::PluginModule::load(host, module);
    } catch (const simhost::LoadError& error) {
        return error.what();
    }
    return "";
}

} // namespace

TEST(ExportsRecord, Has64BytesWithZeroPaddingAndTheDocumentedFields)
{
    simhost::Library library(support::pluginPath());
    const auto* record = static_cast<const Quillfort::PluginExports*>(library.symbol("exports"));
    ASSERT_NE(record, nullptr);
    unsigned char bytes[64];
    std::memcpy(bytes, record, sizeof bytes);
    for (int padding : {4, 5, 6, 7, 44, 45, 46, 47})
        EXPECT_EQ(bytes[padding], 0) << "byte " << padding;
    std::int32_t version = 0, kind = 0;
    std::memcpy(&version, bytes + 0, 4);
    std::memcpy(&kind, bytes + 40, 4);
    EXPECT_EQ(version, 95);
    EXPECT_EQ(kind, 1);
    auto text = [&](int offset) {
        const char* pointer = nullptr;
        std::memcpy(&pointer, bytes + offset, 8);
        return std::string(pointer);
    };
    EXPECT_TRUE(text(8).ends_with("tarnuPlugin.cpp")) << text(8);
    EXPECT_EQ(text(16), "tarnuPlugin");
    EXPECT_EQ(text(24), "tarnu plugin");
    EXPECT_EQ(text(32), TARNU_VERSION);
    void* create = nullptr;
    void* release = nullptr;
    std::memcpy(&create, bytes + 48, 8);
    std::memcpy(&release, bytes + 56, 8);
    EXPECT_EQ(create, library.symbol("getPlugin"));
    EXPECT_EQ(release, library.symbol("deleteMe"));
}

TEST(ModuleBoundary, GetPluginTwiceGivesOneObjectAtOneAddress)
{
    simhost::Library library(support::pluginPath());
    auto create = reinterpret_cast<Create>(library.symbol("getPlugin"));
    const std::uintptr_t first = create();
    const auto* handle = reinterpret_cast<const Quillfort::PluginHandle*>(first);
    const auto* object = handle->get();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(create(), first);
    EXPECT_EQ(handle->get(), object);
    EXPECT_EQ(handle->use_count(), 1);
    reinterpret_cast<Release>(library.symbol("deleteMe"))();
}

TEST(ModuleBoundary, DeleteMeBeforeGetPluginAndTwiceInARowDoesNothing)
{
    simhost::Library library(support::pluginPath());
    auto release = reinterpret_cast<Release>(library.symbol("deleteMe"));
    release();
    auto create = reinterpret_cast<Create>(library.symbol("getPlugin"));
    const auto* handle = reinterpret_cast<const Quillfort::PluginHandle*>(create());
    release();
    release();
    EXPECT_EQ(handle->get(), nullptr);
}

TEST(ModuleBoundary, ObjectCreatedAfterDeleteMeStartsFromInitialValues)
{
    Session session;
    session.load();
    session.console("add_win");
    session.console("add_win");
    ASSERT_EQ(session.plugin().wins, 2);
    session.module->record().releaseFunction();
    const auto* handle =
        reinterpret_cast<const Quillfort::PluginHandle*>(session.module->record().createFunction());
    const auto& fresh = *static_cast<const tarnuPlugin*>(handle->get());
    EXPECT_NE(handle->get(), session.module->plugin().get());
    EXPECT_EQ(fresh.wins, 0);
    EXPECT_EQ(fresh.streak, 0);
    EXPECT_TRUE(fresh.noResultYet);
    EXPECT_TRUE(fresh.identityPending);
    EXPECT_TRUE(fresh.dataFolder.empty());
    EXPECT_EQ(fresh.screenWidth, 0);
    EXPECT_TRUE(fresh.enabled);
    EXPECT_FALSE(fresh.hidden);
    EXPECT_EQ(fresh.cvarManager, nullptr);
    session.module->record().releaseFunction();
}

TEST(ModuleBoundary, HostCopyKeepsTheObjectAliveAcrossDeleteMe)
{
    Session session;
    session.load();
    std::weak_ptr<Quillfort::Plugin::QuillfortPlugin> watch = session.module->plugin();
    session.module->record().releaseFunction();
    EXPECT_EQ(session.module->moduleHandle(), nullptr);
    ASSERT_FALSE(watch.expired());
    session.console("add_win");
    EXPECT_EQ(session.plugin().wins, 1);
    session.module->release();
    EXPECT_TRUE(watch.expired());
}

// Run under the sanitizer preset: any touch of the freed object is reported there.
TEST(ModuleBoundary, CallbacksAfterTheObjectIsGoneDoNothing)
{
    Session session;
    session.load();
    session.playMatch({0}); // schedules a rating refresh
    ASSERT_EQ(session.host.pendingTimers(), 1u);
    const std::string before = session.stats();
    session.module->release();

    session.host.drawFrame();
    EXPECT_TRUE(session.host.lastFrame().empty());
    session.console("add_win");
    session.console("reset");
    session.console("enable_plugin 0");
    session.playMatch({1, 1});
    session.host.enterMenu();
    session.host.advance(20.0);
    EXPECT_EQ(session.stats(), before);
    EXPECT_TRUE(session.host.logLines().empty());
}

// A module the host cannot take is refused, saying why: built for an older or a
// newer interface, with no record, missing, or no module at all (in the system's words).
TEST(Loader, RefusesWhatItCannotLoadAndSaysWhy)
{
    qsim::DataFolder folder;
    const auto text = folder.path() / ("notAModule" + support::pluginPath().extension().string());
    support::writeFile(text, "plain text, no module " + std::string(200, '.'));
#if defined(_WIN32)
    const std::string notAModule = "the module"; // the system's words, with the name's place filled
#else
    const std::string notAModule = "invalid ELF header";
#endif
    const auto versions = [](int module) {
        return "built for host interface " + std::to_string(module) + ", this host has " +
               std::to_string(Quillfort::kInterfaceVersion);
    };
    const std::pair<std::filesystem::path, std::string> rows[] = {
        {support::testModule("wrongVersionPlugin"), versions(Quillfort::kInterfaceVersion - 1)},
        {support::testModule("newerVersionPlugin"), versions(Quillfort::kInterfaceVersion + 1)},
        {support::testModule("noRecordPlugin"), "has no 'exports' record"},
        {"/nonexistent/tarnuPlugin.so", "cannot open plugin module '/nonexistent/tarnuPlugin.so'"},
        {text, notAModule},
    };
    for (const auto& [module, says] : rows) {
        const std::string said = refusal(module);
        EXPECT_TRUE(has(said, says)) << said << "\nnot: " << says;
        EXPECT_FALSE(has(said, "error 1") || has(said, "Unknown error")) << said; // words, never a number
    }
}

TEST(Loader, UnloadDropsEveryCallbackAndTimerOfTheModule)
{
    Session session;
    session.load();
    session.playMatch({0});
    ASSERT_EQ(session.host.pendingTimers(), 1u);
    session.unload();
    EXPECT_EQ(session.host.pendingTimers(), 0u);
    EXPECT_TRUE(session.host.hookedEvents().empty());
    EXPECT_TRUE(session.host.notifiers().empty());
    EXPECT_FALSE(session.host.console({"add_win"}).ok);
}
