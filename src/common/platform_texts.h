#pragma once

namespace voltrane {

// Texts that state a fact of the system the program runs on: what it reads, what it can measure,
// what a usage event carries. Each is fixed by the build for its target platform, so a Linux user
// never reads about IOKit or a Mac, and the other texts stay the same everywhere.

/// Where the live figures come from (the info popover's first paragraph).
const char* infoSourcesText();
/// Which component figures are estimates and what the port figure means.
const char* infoComponentsText();
/// That the fields differ between machines and how a missing one shows.
const char* infoFieldsText();
/// What an anonymous usage event contains (the caption of the usage-statistics switch).
const char* analyticsContentsText();
/// The headline detail while no battery data has been read.
const char* readingSourceText();
/// Why the component figures can be unavailable and where to read how to enable them; empty
/// where the platform has nothing to explain.
const char* componentsUnavailableText();

} // namespace voltrane
