#include "runner.h"

#include <fstream>

#include "plugin.h"
#include "text.h"

namespace qsim {

Runner::Runner(const Options& options, std::string name, std::ostream& out)
    : options_(options), name_(std::move(name)), out_(out), host_(std::make_unique<sim::Host>())
{
    data_ =
        options.data ? std::make_unique<sim::DataFolder>(*options.data) : std::make_unique<sim::DataFolder>();
    std::error_code ignored;
    if (!std::filesystem::exists(pagePath()) && std::filesystem::exists(options.shippedPage)) {
        std::filesystem::create_directories(pagePath().parent_path(), ignored);
        std::filesystem::copy_file(options.shippedPage, pagePath(), ignored);
    }
    const std::u8string folder = data_->path().u8string();
    host_->setDataFolder(std::string(folder.begin(), folder.end()));
    host_->setDesktop(width_, height_);
}

Runner::~Runner()
{
    module_.reset(); // unloads before the host and the data folder go
}

std::filesystem::path Runner::dataPath(const std::string& relative) const
{
    return data_->path() /
           std::filesystem::path(std::u8string(relative.begin(), relative.end())).relative_path();
}

std::filesystem::path Runner::pagePath() const { return data_->path() / settingsPage(); }

Outcome Runner::error(const Statement& s, const std::string& message)
{
    out_ << name_ << ":" << s.line << ": error: " << message << "\n";
    return Outcome::Error;
}

Outcome Runner::expect(const Statement& s, bool held, const std::string& expected, const std::string& got)
{
    ++expectations_;
    if (held) {
        if (options_.interactive)
            out_ << "ok\n";
        return Outcome::Done;
    }
    ++failures_;
    out_ << name_ << ":" << s.line << ": expected " << expected << ", got " << got << "\n";
    return Outcome::Failed;
}

Outcome Runner::run(const Statement& statement)
{
    ++statements_;
    const bool isCheck = statement.verb >= Verb::ExpectFile;
    const Outcome outcome = isCheck ? check(statement) : act(statement);
    printNews();
    return outcome;
}

// Prints what the plugin logged and sent since the last statement.
void Runner::printNews()
{
    const auto& log = host_->logLines();
    const std::size_t first = host_->loggedLines() - log.size();
    const auto& commands = host_->executedCommands();
    for (logShown_ = std::max(logShown_, first); logShown_ < host_->loggedLines(); ++logShown_) {
        const std::string& line = log[logShown_ - first];
        everLogged_.insert(line);
        if (!options_.quiet)
            out_ << "log: " << line << "\n";
    }
    for (; commandsShown_ < commands.size(); ++commandsShown_) {
        if (!options_.quiet)
            out_ << "command: " << commands[commandsShown_].command << "\n";
    }
    if (options_.interactive) {
        const std::string stats = readChecked(dataPath(statsFile())).bytes.value_or("");
        if (stats != statsShown_)
            out_ << statsFile() << ": " << Quillfort::quoted(stats) << "\n";
        statsShown_ = stats;
    }
}

void Runner::printSummary()
{
    if (options_.quiet && failures_ == 0)
        return;
    out_ << name_ << ": " << statements_ << " statements, " << expectations_ << " expectations, " << failures_
         << " failed\n";
}

int runScript(const Options& options, const std::string& name, Lines& scenario, std::ostream& out)
{
    const sim::DataFolder spoolFolder;
    const std::filesystem::path spool = spoolFolder.path() / "scenario.qsim";
    {
        std::ofstream copy(spool, std::ios::binary);
        std::string line;
        for (std::uint64_t number = 1; scenario.next(line); ++number) {
            if (const ParsedLine parsed = parseLine(line, number); !parsed.error.empty()) {
                out << name << ":" << number << ": error: " << parsed.error << "\n";
                return 2;
            }
            copy << line << '\n';
        }
        if (!scenario.error().empty()) {
            out << name << ": error: cannot read: " << scenario.error() << "\n";
            return 2;
        }
        if (!copy.flush()) {
            out << name << ": error: cannot keep a copy of the scenario\n";
            return 2;
        }
    }
    Runner runner(options, name, out);
    Lines copy = Lines::ofFile(spool);
    std::string line;
    for (std::uint64_t number = 1; copy.next(line); ++number) {
        const ParsedLine parsed = parseLine(line, number);
        if (parsed.statement && runner.run(*parsed.statement) == Outcome::Error)
            return 2;
    }
    if (!copy.error().empty()) {
        out << name << ": error: cannot read the copy of the scenario: " << copy.error() << "\n";
        return 2;
    }
    runner.printSummary();
    return runner.failures() == 0 ? 0 : 1;
}

} // namespace qsim
