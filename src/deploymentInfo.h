// The deployment check: one block (or one JSON object) per file, and one
// for the run taken as one deployment.
#pragma once

#include "deploymentSummary.h"

enum class InfoFormat : uint8_t { kText, kJson };

class InfoRun {
 public:
  explicit InfoRun(InfoFormat format) : format_(format) {}

  // Describes one named file ("-" for standard input); false when it could
  // not be opened or read to its end (it is then not described).
  bool describeFile(const char* name);
  // Describes the files described so far as one deployment.
  void describeRun();

 private:
  InfoFormat format_;
  DeploymentSummary run_;
  uint64_t files_ = 0;
};

// The text block and the JSON line of one summary; a run has no name.
std::string infoText(const char* name, const DeploymentSummary& summary, uint64_t files);
std::string infoJson(const char* name, const DeploymentSummary& summary);
