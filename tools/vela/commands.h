// The commands of the packaging tool, each in its own cmd_<name>.cpp, listed in
// the command table in main.cpp.
#pragma once
#include <string>
#include <vector>

namespace vela {

extern const char kCheckUsage[];
int RunCheck(const std::vector<std::string>& args);

extern const char kInitUsage[];
int RunInit(const std::vector<std::string>& args);

extern const char kBuildUsage[];
int RunBuild(const std::vector<std::string>& args);
extern const char kAddUsage[];
int RunAdd(const std::vector<std::string>& args);
extern const char kRmUsage[];
int RunRm(const std::vector<std::string>& args);
extern const char kCompactUsage[];
int RunCompact(const std::vector<std::string>& args);

extern const char kListUsage[];
int RunList(const std::vector<std::string>& args);
extern const char kCatUsage[];
int RunCat(const std::vector<std::string>& args);
extern const char kExtractUsage[];
int RunExtract(const std::vector<std::string>& args);
extern const char kVerifyUsage[];
int RunVerify(const std::vector<std::string>& args);

extern const char kInstallUsage[];
int RunInstall(const std::vector<std::string>& args);

extern const char kCompressUsage[];
int RunCompress(const std::vector<std::string>& args);
extern const char kDecompressUsage[];
int RunDecompress(const std::vector<std::string>& args);

}  // namespace vela
