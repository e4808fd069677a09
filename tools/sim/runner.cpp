#include "runner.h"

#include "checkedFiles.h"
#include "conversions.h"
#include "endReport.h"
#include "folders.h"
#include "preflight.h"
#include "wholeFile.h"
#include "words.h"

namespace qsim {
namespace {

// Far above any settings page.
constexpr std::size_t shippedPageLimit = std::size_t{4} << 20;
// A terminal session shows so many files of a data folder, of at most this size.
constexpr std::size_t shownFiles = 100;
constexpr std::size_t shownSize = std::size_t{64} << 10;

// The regular files under the folder and what they hold, by their path from it
// ('/' between the parts): the first `shownFiles`, each read up to `shownSize`.
std::map<std::string, std::string> filesIn(const std::filesystem::path& folder)
{
    std::map<std::string, std::string> found;
    std::vector<std::pair<std::filesystem::path, std::string>> pending = {{folder, ""}};
    while (!pending.empty() && found.size() < shownFiles) {
        const auto [at, prefix] = pending.back();
        pending.pop_back();
        std::vector<std::filesystem::path> names;
        files::listFolder(at, names);
        for (const auto& name : names) {
            const std::string relative = prefix + files::utf8FromPath(name.filename());
            const files::Entry entry = files::entryAt(name, files::Links::AsTheyAre);
            if (entry.kind == files::Entry::Kind::Folder)
                pending.emplace_back(name, relative + "/");
            else if (const CheckedFile file = readChecked(name); file.bytes && found.size() < shownFiles)
                found[relative] = file.bytes->substr(0, shownSize);
        }
    }
    return found;
}

} // namespace

Runner::Runner(const Options& options, std::string name, std::ostream& out)
    : options_(options), name_(std::move(name)), out_(out), host_(std::make_unique<simhost::Host>())
{
    data_ = options.data ? std::make_unique<DataFolder>(*options.data) : std::make_unique<DataFolder>();
    host_->setDataFolder(files::utf8FromPath(data_->path()));
    host_->setDesktop(desktop_.width, desktop_.height);
    // Each line goes out before the plugin runs on, so a crash can take none of them.
    host_->setLogListener([this](const std::string& line) {
        log_.add(line);
        if (!options_.quiet)
            out_ << "log: " << line << "\n" << std::flush;
    });
    host_->setCommandListener([this](const simhost::ExecutedCommand& sent) {
        const bool first = commandsSent_.insert(sent.command).second;
        if (options_.quiet)
            return;
        out_ << "command: " << sent.command << "\n";
        if (first && !sent.carriedOut)
            out_ << "note: " << echoed(sent.command)
                 << " is no command of the plugin's own: the simulated Quillfort records it and does not "
                    "carry it "
                    "out\n";
        out_ << std::flush;
    });
}

void readModule(Options& options)
{
    const std::string where = echoed(files::utf8FromPath(options.plugin));
    const std::string chosen =
        options.defaultPlugin ? ", the one beside quillfort-sim: no --plugin names another" : "";
    try {
        const simhost::ModuleFacts facts = simhost::readModuleFacts(options.plugin);
        options.moduleLine = "plugin: " + facts.typeName + " " + facts.version + " (" + facts.displayName +
                             ") from " + where + chosen;
        options.modulePage = simhost::settingsPageOf(facts.typeName);
        auto shipped = options.plugin;
        options.shippedPage = shipped.replace_extension(".set");
    } catch (const simhost::LoadError& failure) {
        options.moduleLine = "plugin: " + where + chosen + ", which cannot be read";
        options.moduleProblem = failure.what();
    }
}

// The first line names the module. A given data folder belongs to one run at a
// time, or one run's checks would see another's files. A data folder without the
// module's settings page gets the one shipped beside the module, whole, if there
// is one: a page that cannot be copied ends the run before it starts.
std::string Runner::layOut()
{
    if (!options_.quiet)
        out_ << options_.moduleLine << "\n";
    const std::string folder = files::utf8FromPath(data_->path());
    if (!files::isUtf8(folder))
        return "the data folder " + echoed(folder) +
               " is not UTF-8 text, which the host hands to the plugin as UTF-16: it would reach it altered";
    if (options_.data) {
        claim_ = std::make_unique<files::FolderClaim>(
            data_->path(), std::filesystem::temp_directory_path(), "quillfort-sim-data-",
            "process " + std::to_string(processId()) + ", playing " + name_);
        if (claim_->byOther())
            return "the data folder " + echoed(folder) + " is in use by another run of quillfort-sim (" +
                   (claim_->otherNote().empty() ? "starting" : claim_->otherNote()) +
                   "): a data folder belongs to one run at a time";
        if (!claim_->held())
            return "cannot claim the data folder " + echoed(folder) + " for this run: " + claim_->problem();
    }
    if (options_.modulePage.empty() ||
        files::entryAt(pagePath(), files::Links::AsTheyAre).kind != files::Entry::Kind::Missing)
        return laidOut();
    const std::string shipped = files::utf8FromPath(options_.shippedPage);
    const files::FileRead shippedPage = files::readWholeFile(options_.shippedPage, shippedPageLimit);
    if (shippedPage.outcome == files::FileRead::Outcome::Missing)
        return laidOut(); // a module with no page gets none
    if (shippedPage.outcome != files::FileRead::Outcome::Read)
        return "the settings page shipped with the module, " + echoed(shipped) + ", " + shippedPage.says();
    const std::string where = echoed(files::utf8FromPath(pagePath()));
    if (const std::string error = files::makeFolders(pagePath().parent_path()); !error.empty())
        return "cannot make the folder of the settings page " + where + ": " + error;
    const files::FileWrite written =
        files::replaceWholeFile(pagePath(), shippedPage.bytes, files::Durability::Cached);
    return written.written() ? laidOut() : "the settings page " + where + ": " + written.says();
}

// The files as they stand once laid out, so a terminal session shows what changes from there.
std::string Runner::laidOut()
{
    if (options_.interactive)
        filesShown_ = filesIn(data_->path());
    return "";
}

Runner::~Runner()
{
    module_.reset(); // unloads before the host and the data folder go
}

// Joined with the platform's separator, so a data folder in the \\?\ form works too.
std::filesystem::path Runner::dataPath(const std::string& relative) const
{
    return files::pathInFolder(files::utf8FromPath(data_->path()), relative);
}

std::filesystem::path Runner::pagePath() const { return dataPath(options_.modulePage); }

Outcome Runner::error(const Statement& s, const std::string& message)
{
    ++errors_;
    out_ << name_ << ":" << s.line << ": error: " << message << "\n";
    return Outcome::Error;
}

Outcome Runner::expect(const Statement& s, bool held, const std::string& expected, const std::string& got)
{
    if (held) {
        if (options_.interactive)
            out_ << "ok\n";
        return Outcome::Done;
    }
    ++failures_;
    out_ << name_ << ":" << s.line << ": expected " << expected << ", got " << got << "\n";
    return Outcome::Failed;
}

// An exception the plugin threw stops the scenario at the statement that called it.
Outcome Runner::run(const Statement& statement)
{
    ++statements_;
    expectations_ += statement.kind->isCheck ? 1 : 0;
    runningAt(name_, statement.line);
    Outcome outcome = (this->*statement.kind->run)(statement);
    if (const auto thrown = host_->takeThrown())
        outcome = error(statement, threw(*thrown));
    runningNowhere();
    showChangedFiles();
    return outcome;
}

std::string Runner::threw(const simhost::PluginThrew& thrown)
{
    return "the plugin threw an exception from its " + thrown.call + ": " + echoed(thrown.what);
}

// A terminal session shows each file in the data folder that a statement wrote or removed.
void Runner::showChangedFiles()
{
    if (!options_.interactive)
        return;
    std::map<std::string, std::string> now = filesIn(data_->path());
    for (const auto& [name, bytes] : now) {
        const auto shown = filesShown_.find(name);
        if (shown == filesShown_.end() || shown->second != bytes)
            out_ << name << ": " << quotedExcerpt(bytes, 0) << "\n";
    }
    for (const auto& [name, bytes] : filesShown_) {
        if (!now.contains(name))
            out_ << name << ": removed\n";
    }
    filesShown_ = std::move(now);
}

bool Runner::finish()
{
    if (!module_)
        return true;
    module_.reset();
    if (const auto thrown = host_->takeThrown()) {
        ++errors_;
        out_ << name_ << ": error: at the unload after the last statement, " << threw(*thrown) << "\n";
        return false;
    }
    return true;
}

void Runner::printSummary()
{
    if (options_.quiet && failures_ == 0 && errors_ == 0)
        return;
    out_ << name_ << ": " << statements_ << " statements, " << expectations_ << " expectations, " << failures_
         << " failed";
    if (errors_ > 0)
        out_ << ", " << errors_ << (errors_ == 1 ? " error" : " errors");
    out_ << "\n";
}

int runScript(const Options& options, const std::string& name, Lines& source, std::ostream& out)
{
    Scenario scenario(source);
    std::uint64_t errorLine = scenario.errorLine();
    std::string error = scenario.error();
    Preflight preflight(options);
    std::string notHere;
    std::uint64_t notHereLine = 0;
    const auto checked = [&](const Statement& statement) {
        error = preflight.check(statement);
        errorLine = statement.line;
        preflight.passed(statement);
        if (notHere.empty() && !statement.notHere.empty()) {
            notHere = statement.notHere;
            notHereLine = statement.line;
        }
        return error.empty();
    };
    if (error.empty() && !scenario.play(checked)) {
        errorLine = 0;
        error = scenario.error();
    }
    if (!error.empty()) {
        out << name;
        if (errorLine > 0)
            out << ":" << errorLine;
        out << ": error: " << error << "\n";
        return 2;
    }
    if (!notHere.empty()) {
        out << name << ":" << notHereLine << ": skipped: " << notHere << "\n";
        return cannotRunHere;
    }
    Runner runner(options, name, out);
    if (const std::string problem = runner.layOut(); !problem.empty()) {
        out << name << ": error: " << problem << "\n";
        return 2;
    }
    bool stopped = false;
    const bool played = scenario.play([&](const Statement& statement) {
        stopped = runner.run(statement) == Outcome::Error;
        return !stopped;
    });
    if (!played) {
        out << name << ": error: " << scenario.error() << "\n";
        return 2;
    }
    if (!runner.finish() || stopped)
        return 2;
    runner.printSummary();
    return runner.failures() == 0 ? 0 : 1;
}

} // namespace qsim
