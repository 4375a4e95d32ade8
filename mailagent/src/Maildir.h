// Reading a Maildir: which messages wait, what kind each is, and a cheap signature of
// the directory that tells whether anything may have changed.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace agentqx {

struct DirStamp {
    bool Present = false;
    std::uint64_t Inode = 0;
    std::timespec Modified{};
};

struct MaildirSignature {
    bool Readable = false;
    DirStamp New;
    DirStamp Cur;
    std::timespec TakenAt{};   // when the stamps were read

    bool SameAs(const MaildirSignature& other) const;
    // A directory changed within a second before the stamps were read may change
    // again without its time stamp moving (coarse file system clocks).
    bool Settled() const;
};

struct MaildirFile {
    std::string UniqueName;    // the file name up to the ":2," info part
    std::string Path;
    bool Waiting = false;      // neither 'S' (seen) nor 'T' (trashed) among its info flags
};

MaildirSignature ReadSignature(const std::string& maildir);

// Every message file of new/ and cur/, sorted by unique name, each name once. False when
// the Maildir cannot be read.
bool ListMessages(const std::string& maildir, std::vector<MaildirFile>& out);

// The type letter from the message's X-Message-Type header: "voice" 'H', "fax" 'F',
// anything else (or no header) 'T' for a text message.
char MessageType(const std::string& path);

}  // namespace agentqx
