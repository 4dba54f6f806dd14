#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "import/ImportedActivity.h"

namespace vantrel {

/// What a file becomes: one activity per leg, or the whole file as one activity.
struct MultisportSplit {
    std::vector<ImportedActivity> legs;
    /// Why the sessions of a multisport file were kept together; absent when they were split or
    /// there was nothing to split.
    std::optional<std::string> warning;
};

/// Splits a file with sessions of different sports (a triathlon) into one activity per session,
/// leaving the transitions out: each leg gets the points and laps of its session's time span
/// and its session's kind. A file with one session, or with several of one sport (a chained
/// swim), stays one activity. Sessions that make no sense as legs (without a start or a length,
/// overlapping, running backwards, without points, or too many) keep the file together, with a
/// warning saying why: nothing recorded is ever dropped for them.
class MultisportSplitter {
  public:
    /// Far beyond a triathlon or a duathlon; a file claiming more legs is not taken apart.
    static constexpr std::size_t kMaximumLegs = 20;

    static MultisportSplit split(ImportedActivity activity);

  private:
    static std::optional<std::string> whyNotLegs(const ImportedActivity& activity,
                                                 const std::vector<ImportedSession>& legs);
    static ImportedActivity legOf(const ImportedActivity& activity, const ImportedSession& session);
};

}  // namespace vantrel
