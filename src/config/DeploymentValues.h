#pragma once
// Deployment values: the servers and pages a copy of the program talks to. They are not
// options of the program: the publisher's stamping tool writes them into the program's
// resource "VEXA_DEPLOY" 1 when it makes the copy for a package.
//
// The resource is a fixed-size slot of kDeploySlotBytes bytes of UTF-8 text: a first line
// kDeployMagic, then "Key=value" lines, padded with blanks to the slot size so that a
// copy can be stamped in place without rebuilding the program.

#include <cstddef>
#include <string>
#include <vector>

constexpr size_t kDeploySlotBytes = 1024;
constexpr char kDeployMagic[] = "#VEXA-DEPLOY 1";
// A copy trusts at most two publisher keys at once: the current one and the next, so that a
// publisher can move to a new key without a release that some copies refuse.
constexpr size_t kMaxPublisherKeys = 2;

struct DeploymentValues {
    std::string configServer = "config.vexayoral.com";  // host[:port] of the configuration server
    std::string statsServer = "stat.vexayoral.com";     // host[:port] of the statistics server
    std::string homePage = "http://www.vexayoral.com/";
    std::string feedbackPage = "http://bbs.vexayoral.com/";
    // Public keys ("ed25519:" + hex) that sign the package's document. None: the copy takes
    // the document unsigned, as copies always did; any: it takes only a signed one.
    std::vector<std::string> publisherKeys;
};

// Parses a slot; unknown keys are ignored, missing ones keep their defaults. False when the
// text does not start with the magic line.
bool ParseDeploymentValues(const char* data, size_t size, DeploymentValues* values);

// Formats values into a slot of exactly kDeploySlotBytes; false when they do not fit, a
// value holds a line break or there are more than kMaxPublisherKeys keys. Each key is a
// line "PublisherKey=..." of its own, which copies made before keys existed pass over.
bool FormatDeploymentSlot(const DeploymentValues& values, std::string* slot);
