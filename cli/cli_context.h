// What every `veldrane` command shares: where the run-time files go, how the
// command talks to its user, and the exit statuses.
//
// The library keeps its history tables in the installation folder (a registry
// value) and its connection registry beside the library file. A command-line
// tool must not write into its build's lib folder by surprise, so the command
// chooses both explicitly: the history goes to the home folder (--home, else
// VELDRANE_HOME, else ~/.local/share/veldrane), the connection registry to
// --connections (else VELDRANE_CONNECTIONS, else the library's own file).
// Nothing here knows about single commands.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

#include "core/vb_error.h"

namespace veldrane::cli {

// Exit statuses shared by the commands.
inline constexpr int kExitOk = 0;          // everything succeeded
inline constexpr int kExitFailures = 1;    // the command ran; some records or checks failed
inline constexpr int kExitCannotRun = 2;   // misuse, unreadable input, a run that could not start
inline constexpr int kExitUnrecorded = 3;  // a run whose history row or failure rows were not written
inline constexpr int kExitCancelled = 130; // stopped by Ctrl-C

// A failure the command reports to its user and ends with: the message is
// printed as "veldrane <command>: <message>" and the command exits with
// `status`. Commands throw it where they find bad input.
class CliError : public std::runtime_error {
 public:
  explicit CliError(const std::string& message, int status = kExitCannotRun)
      : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

struct Context {
  std::string home;         // --home as given ("" = default)
  std::string connections;  // --connections as given ("" = default)

  // Resolves the home folder, creates it when missing and makes the library
  // read it as its installation folder. Returns the folder. Raises CliError
  // when it cannot be created.
  std::string PrepareHome() const;
  // The connection file to work on: --connections (a file, or a folder that
  // holds connections.cnn), VELDRANE_CONNECTIONS, else the library's file.
  std::string ConnectionFile() const;
};

// The default home folder: VELDRANE_HOME, else $HOME/.local/share/veldrane.
std::string DefaultHome();

// True when the stream is a terminal (progress bars, colours).
bool IsTerminal(std::FILE* stream);

// "<description> (error <number>)" for messages that name a library failure.
std::string Describe(const VbError& error);

// Raises CliError unless `path` names a readable regular file; `what` says
// what the file is for ("integration document").
void RequireReadableFile(const std::string& path, const std::string& what);

// The absolute form of `path` (relative to the current folder).
std::string AbsolutePath(const std::string& path);

// Moves into the folder of `document`, so that relative file names in its
// connection strings ("Data Source=data/crm.db") are read relative to the
// document wherever the command is started from. Returns the document's
// absolute path. Callers make their other paths absolute first.
std::string EnterDocumentFolder(const std::string& document);

// Creates `folder` and its parents; raises CliError naming it on failure.
void MakeFolders(const std::string& folder);

// The whole content of a file; raises CliError naming it when unreadable.
std::string ReadFile(const std::string& path);

// Replaces `path` with `content` atomically: a temporary file beside it is
// written, flushed and renamed over it, so a crash never leaves half a file.
// Raises CliError naming the file on failure.
void WriteFileAtomically(const std::string& path, const std::string& content);

}  // namespace veldrane::cli
