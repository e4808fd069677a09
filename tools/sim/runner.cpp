#include "runner.h"

#include "checkedFiles.h"
#include "conversions.h"
#include "pluginFiles.h"
#include "preflight.h"
#include "words.h"

namespace qsim {

Runner::Runner(const Options& options, std::string name, std::ostream& out)
    : options_(options), name_(std::move(name)), out_(out), host_(std::make_unique<simhost::Host>())
{
    data_ = options.data ? std::make_unique<DataFolder>(*options.data) : std::make_unique<DataFolder>();
    std::error_code ignored;
    if (!std::filesystem::exists(pagePath()) && std::filesystem::exists(options.shippedPage)) {
        std::filesystem::create_directories(pagePath().parent_path(), ignored);
        std::filesystem::copy_file(options.shippedPage, pagePath(), ignored);
    }
    host_->setDataFolder(files::utf8FromPath(data_->path()));
    host_->setDesktop(desktop_.width, desktop_.height);
    host_->setLogListener([this](const std::string& line) { log_.add(line); });
    host_->setCommandListener([this](const simhost::ExecutedCommand& sent) {
        commandsSent_.insert(sent.command);
        commandNews_.push_back(sent.command);
    });
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

std::filesystem::path Runner::pagePath() const { return dataPath(settingsPagePath()); }

Outcome Runner::error(const Statement& s, const std::string& message)
{
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

Outcome Runner::run(const Statement& statement)
{
    ++statements_;
    expectations_ += statement.kind->isCheck ? 1 : 0;
    const Outcome outcome = (this->*statement.kind->run)(statement);
    printNews();
    return outcome;
}

// Prints what the plugin logged and sent since the last statement.
void Runner::printNews()
{
    for (const std::string* line : log_.news()) {
        if (!options_.quiet)
            out_ << "log: " << *line << "\n";
    }
    for (const std::string& command : commandNews_) {
        if (!options_.quiet)
            out_ << "command: " << command << "\n";
    }
    commandNews_.clear();
    if (options_.interactive) {
        const std::string stats = readChecked(dataPath(statsFile())).bytes.value_or("");
        if (stats != statsShown_)
            out_ << statsFile() << ": " << qsim::quoted(stats) << "\n";
        statsShown_ = stats;
    }
}

void Runner::finish()
{
    if (!module_)
        return;
    module_.reset();
    printNews();
}

void Runner::printSummary()
{
    if (options_.quiet && failures_ == 0)
        return;
    out_ << name_ << ": " << statements_ << " statements, " << expectations_ << " expectations, " << failures_
         << " failed\n";
}

int runScript(const Options& options, const std::string& name, Lines& source, std::ostream& out)
{
    Scenario scenario(source);
    std::uint64_t errorLine = scenario.errorLine();
    std::string error = scenario.error();
    Preflight preflight(options);
    const auto check = [&](const Statement& statement) {
        error = preflight.check(statement);
        errorLine = statement.line;
        preflight.passed(statement);
        return error.empty();
    };
    if (error.empty() && !scenario.play(check)) {
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
    Runner runner(options, name, out);
    bool stopped = false;
    const bool played = scenario.play([&](const Statement& statement) {
        stopped = runner.run(statement) == Outcome::Error;
        return !stopped;
    });
    if (!played) {
        out << name << ": error: " << scenario.error() << "\n";
        return 2;
    }
    runner.finish();
    if (stopped)
        return 2;
    runner.printSummary();
    return runner.failures() == 0 ? 0 : 1;
}

} // namespace qsim
