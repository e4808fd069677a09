// The scenario language of quillfort-sim: one statement a line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host.h"
#include "lines.h"
#include "stream.h"

namespace qsim {

class DataFolder;
class Preflight;
class Runner;
struct Statement;

// Done; Failed: an expectation did not hold (the scenario goes on); Error: the
// statement could not run (the scenario stops).
enum class Outcome { Done, Failed, Error };

// One kind of statement: how it is written, how its arguments are read, what the
// check before the run finds and tells the statements after it, and what running it
// does. The table of them is in statementTable.cpp.
struct StatementKind {
    const char* name; // "wait", "expect file"
    std::size_t least, most;
    const char* usage;
    bool isCheck;                                            // an expectation, counted in the summary
    std::string (*readArguments)(Statement&);                // the typed fields; an error message or ""
    std::string (Preflight::*check)(const Statement&) const; // what keeps it from running, or ""
    void (Preflight::*passed)(const Statement&);             // what it tells the ones after it
    Outcome (Runner::*run)(const Statement&);
};

// The kind with that name, or null.
const StatementKind* statementNamed(std::string_view name);
// What `expect` can check, as a list in a message: "file, nofile, log, ...".
std::string checkNames();

struct Statement {
    std::uint64_t line = 0;
    const StatementKind* kind = nullptr;
    std::vector<std::string> words; // the arguments after the name, unquoted
    // The typed arguments, each filled by the statements named beside it.
    simhost::DesktopSize desktop = simhost::defaultDesktop; // desktop W H
    int playlist = simhost::defaultPlaylist;                // match, rating
    int team = 0;                                           // match (yours), goal (the scorer)
    std::optional<int> winner;                              // end winner=T
    double rating = 0.0;                                    // rating
    double seconds = 0.0;                                   // wait, pause
    int calls = 0;                                          // expect draws
    std::vector<double> numbers;                            // expect draw
    simhost::GameFacts facts;                               // match KIND
    std::vector<std::pair<std::string, bool>> factChanges;  // state FACT=0|1...
    std::string notHere; // why it cannot run on this platform, which skips the scenario
};

// Splits a line into words; a word may be a double-quoted text with the escapes
// \\ \" \r \n \t. Returns an error message, or nothing when the line is fine.
std::optional<std::string> splitWords(std::string_view line, std::vector<std::string>& words);

struct ParsedLine {
    std::optional<Statement> statement; // none for a blank line or a comment
    std::string error;                  // what is wrong, when not empty
};
ParsedLine parseLine(std::string_view line, std::uint64_t number);

// A scenario read once and checked whole before any of it runs. The checked lines
// are kept in memory while they are few (a scenario written by hand), and in a file
// aside past that, so memory stays flat however long the scenario is.
class Scenario {
public:
    // Reads the source to its end; error() then says what keeps it from running.
    explicit Scenario(Lines& source);
    ~Scenario();
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    // The first line that is wrong (0 when the input itself failed), and why.
    std::uint64_t errorLine() const { return errorLine_; }
    const std::string& error() const { return error_; }

    // Hands each statement in order to `play` until it returns false. False when
    // the kept lines cannot be read back (error() then says why).
    bool play(const std::function<bool(const Statement&)>& play);

    // Past this many bytes, the lines are kept in a file.
    static constexpr std::size_t memoryLimit = std::size_t{64} << 10;

private:
    void keep(Lines& source);
    bool keepLine(const std::string& line);
    std::filesystem::path spoolPath() const;
    std::string spoolError(const std::string& reason) const;

    std::string kept_; // the lines, each with its line feed, while in memory
    std::unique_ptr<DataFolder> folder_;
    std::unique_ptr<files::NewFile> spool_;
    std::uint64_t errorLine_ = 0;
    std::string error_;
};

} // namespace qsim
