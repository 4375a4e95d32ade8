// The spool: mails accepted for delivery and not yet taken by the SMTP server, one file
// per mail in a directory, so that they survive a stop or a crash of the agent.
//
// A mail is NNNNNNNNNNNN-SECONDS-PID.mail: a twelve-digit sequence number (the order of
// acceptance; file names sort in that order), the time it was accepted and the process.
// It is written as .NAME.tmp and renamed when complete (see WriteWholeFile); names that
// begin with a dot are never delivered. A mail that can never be delivered is moved into
// the subdirectory failed/ and kept there for the operator.
//
// Add runs on the agent's thread, the other operations on the delivery thread; they
// share nothing but the directory.
#pragma once

#include "Delivery.h"

#include <cstdint>
#include <string>
#include <vector>

namespace agentqx {

class Spool {
public:
    explicit Spool(std::string dir);

    // Creates the directory and failed/, removes temporary files a crash left behind
    // and continues the sequence after the highest number found. False with a reason when
    // the directory cannot be made or written.
    bool Prepare(std::string& error);

    // Writes the mail as a new spool file; ResultOk or ErrSpool.
    std::int32_t Add(const OutgoingMail& mail);

    // The names of the mails waiting, oldest first.
    std::vector<std::string> Waiting() const;
    enum class LoadResult { Loaded, Gone, Damaged };
    LoadResult Load(const std::string& name, OutgoingMail& mail) const;
    bool Remove(const std::string& name) const;
    // Moves the mail into failed/.
    bool SetAside(const std::string& name) const;

    const std::string& Dir() const { return Directory; }
    std::string FailedDir() const { return Directory + "/failed"; }

private:
    const std::string Directory;
    std::uint64_t NextSequence = 1;
};

// The text of a spool file: a first line "AGENTQX-SPOOL 1", the envelope as
// "MAIL FROM:<...>" and "RCPT TO:<...>" lines, an empty line, then the message.
std::string SpoolText(const OutgoingMail& mail);
bool ParseSpoolText(const std::string& text, OutgoingMail& mail);

}  // namespace agentqx
