#pragma once

#include <cstdint>
#include <string_view>

#include "protocols/connection.h"

namespace rg {

// What a span asked for and what the item keeps, to judge the answer by.
struct SpanRequest {
    std::int64_t start = 0;
    std::int64_t length = 0;       // 0: to the end of the file
    std::int64_t known_total = 0;  // 0: not known
    bool holds_bytes = false;      // the item has ranges
    bool resumable = true;         // the item's resumable flag
    std::string_view validator;    // the validator the kept bytes came under; empty: none
    bool sent_if_range = false;
    // The user gave the item another URL: the answer must name the total size the kept bytes
    // belong to, or none of it is written.
    bool address_changed = false;
};

// What the answer says about itself: the Connection's fields after a successful open.
struct AnswerFacts {
    bool ftp = false;
    std::int32_t status_code = 0;
    std::int64_t range_start = kNoRange;
    std::int64_t range_end = kNoRange;
    std::int64_t range_total = kNoRange;
    std::int64_t content_length = 0;
    std::string_view validator;
    std::int32_t resumable = kResumableNotReported;  // what the client reported
};

AnswerFacts answer_facts(const Connection& connection);

// Where the body of an answer goes, or why it must not be written.
struct BodyPlan {
    enum class Verdict {
        Write,        // write from `position`, after skipping `skip` bytes, up to `end`
        WrongRange,   // other bytes than asked for
        FileChanged,  // not the file the kept bytes belong to
        StartOver,    // the whole file from a server without ranges: only by starting over
    };
    Verdict verdict = Verdict::Write;
    std::int64_t skip = 0;
    std::int64_t position = 0;
    std::int64_t end = -1;   // exclusive; -1: to the end of the body
    bool partial = false;    // a 206: the piece says nothing about the file's end
    std::int64_t total = 0;  // the file's size the answer names; 0: none
};

// What a validator is, by its form: an ETag is quoted (or "W/" and quoted), an FTP server's MDTM
// time is all digits (with an optional fraction), anything else is an HTTP date.
enum class ValidatorForm { None, Etag, HttpDate, FtpTime };
ValidatorForm validator_form(std::string_view validator);

// A validator that may be compared: an ETag that is not weak ("W/"), or a time.
bool is_strong_validator(std::string_view validator);

// Whether an HTTP server can check the validator in If-Range: a strong ETag or an HTTP date.
bool is_if_range_validator(std::string_view validator);

// Two strong validators of the same kind that differ.
bool validators_differ(std::string_view kept, std::string_view answer);

BodyPlan plan_body(const SpanRequest& request, const AnswerFacts& answer);

}  // namespace rg
