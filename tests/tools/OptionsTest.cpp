// Command-line parsing: what reaches velmo's init record, and the values that must be refused.
#include "Options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ToolError.h"

using namespace velmo_upscale;

namespace {

Options parse(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "velmo-upscale");
    std::vector<const char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(argument.c_str());
    return parse_options(static_cast<int>(argv.size()), argv.data());
}

// The message of the usage error the arguments cause, or "" when they are accepted.
std::string usage_error(const std::vector<std::string>& arguments)
{
    try {
        parse(arguments);
    } catch (const ToolError& error) {
        EXPECT_EQ(error.status(), kExitUsage) << error.what();
        return error.what();
    }
    return "";
}

} // namespace

TEST(OptionsTest, DefaultsGiveTheToolsInitRecord)
{
    Options options = parse({"in.png", "out.png"});
    EXPECT_EQ(options.input, "in.png");
    EXPECT_EQ(options.output, "out.png");
    EXPECT_EQ(options.output_kind, OutputKind::Png);
    EXPECT_FLOAT_EQ(options.scale, 1.5f);
    EXPECT_TRUE(options.compare_path.empty());

    velmo_init_params params = make_init_params(options, "/cache");
    EXPECT_STREQ(params.config_dir, "/cache");
    EXPECT_EQ(params.priority, 2) << "the tool upscales every input by default";
    EXPECT_EQ(params.sr_level, 2);
    EXPECT_TRUE(params.enable_edge_adaptive);
    EXPECT_FALSE(params.enable_fast_sr_smooth);
    EXPECT_FALSE(params.enable_face_protection);
    EXPECT_FLOAT_EQ(params.sigma_s, 0.8f);
    EXPECT_FLOAT_EQ(params.sigma_r, 1.0f);
}

TEST(OptionsTest, EveryOptionReachesTheInitRecordInBothSpellings)
{
    Options options = parse({"--scale=2", "--level", "1", "--smooth", "--sigma-s", "2.5", "--sigma-r=0.25",
                             "--priority", "1", "--no-edge-adaptive", "--face-protection", "--config-dir", "cfg",
                             "--compare=side.PNG", "--verbose", "clip.mkv", "big.Y4M"});
    EXPECT_FLOAT_EQ(options.scale, 2.0f);
    EXPECT_EQ(options.config_dir, "cfg");
    EXPECT_EQ(options.compare_path, "side.PNG");
    EXPECT_EQ(options.output_kind, OutputKind::Y4m);
    EXPECT_TRUE(options.verbose);

    velmo_init_params params = make_init_params(options, "cfg");
    EXPECT_EQ(params.sr_level, 1);
    EXPECT_EQ(params.priority, 1);
    EXPECT_TRUE(params.enable_fast_sr_smooth);
    EXPECT_FALSE(params.enable_edge_adaptive);
    EXPECT_TRUE(params.enable_face_protection);
    EXPECT_FLOAT_EQ(params.sigma_s, 2.5f);
    EXPECT_FLOAT_EQ(params.sigma_r, 0.25f);
}

TEST(OptionsTest, SharpnessSelectsTheCustomLevel)
{
    velmo_init_params params = make_init_params(parse({"--sharpness", "0.75", "a.mp4", "b.mp4"}), "");
    EXPECT_EQ(params.sr_level, 0);
    EXPECT_FLOAT_EQ(params.custom_sharpness, 0.75f);
}

TEST(OptionsTest, ScaleBoundsAreInclusive)
{
    EXPECT_FLOAT_EQ(parse({"--scale", "0", "a.png", "b.png"}).scale, 0.0f);
    EXPECT_FLOAT_EQ(parse({"--scale", "1000", "a.png", "b.png"}).scale, 1000.0f);
    EXPECT_NE(usage_error({"--scale", "1000.01", "a.png", "b.png"}), "");
    EXPECT_NE(usage_error({"--scale", "-0.5", "a.png", "b.png"}), "");
}

TEST(OptionsTest, InvalidValuesNameTheOptionAndTheValue)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{"--scale", "3000", "a.png", "b.png"}, "--scale must be a number from 0 to 1000, not '3000'"},
        {{"--scale", "nan", "a.png", "b.png"}, "not 'nan'"},
        {{"--scale", "inf", "a.png", "b.png"}, "not 'inf'"},
        {{"--scale", "1.5x", "a.png", "b.png"}, "not '1.5x'"},
        {{"--scale", " 1", "a.png", "b.png"}, "not ' 1'"},
        {{"--scale=", "a.png", "b.png"}, "not ''"},
        {{"--level", "4", "a.png", "b.png"}, "--level must be a whole number from 1 to 3"},
        {{"--level", "1.5", "a.png", "b.png"}, "not '1.5'"},
        {{"--priority", "-1", "a.png", "b.png"}, "--priority must be a whole number from 0 to 3"},
        {{"--sigma-s", "0.1", "a.png", "b.png"}, "--sigma-s must be a number from 0.25 to 3"},
        {{"--sigma-r", "9", "a.png", "b.png"}, "--sigma-r"},
        {{"--sharpness", "-1", "a.png", "b.png"}, "--sharpness must be a number from 0 to 4"},
        {{"a.png", "b.png", "--scale"}, "--scale needs a value"},
        {{"--config-dir=", "a.png", "b.png"}, "--config-dir needs a folder name"},
        {{"--compare", "side.jpg", "a.png", "b.png"}, "--compare writes a PNG picture"},
        {{"--level", "1", "--sharpness", "2", "a.png", "b.png"}, "--level and --sharpness exclude each other"},
        {{"--bogus", "a.png", "b.png"}, "unknown option '--bogus'"},
        {{"--smooth=yes", "a.png", "b.png"}, "unknown option '--smooth=yes'"},
        {{"a.png"}, "expected two file names, INPUT and OUTPUT, got 1"},
        {{"a.png", "b.png", "c.png"}, "got 3"},
        {{"a.png", "b.avi"}, "the tool does not write .avi files ('b.avi'): use .png for a picture, .mp4, .mov"},
        {{"a.png", "b"}, "cannot tell what to write from the name 'b'"},
        {{"--crf", "high", "a.mp4", "b.mkv"}, "--crf must be a number from 0 to 100, not 'high'"},
        {{"--codec", "ffv1", "a.png", "b.png"}, "--codec, --crf and --preset choose the encoder of .mp4, .mov, .mkv and .webm"},
        {{"a.png", ""}, "must not be empty"},
    };
    for (const Case& c : cases) {
        std::string message = usage_error(c.arguments);
        EXPECT_NE(message.find(c.expected), std::string::npos)
            << "arguments: " << ::testing::PrintToString(c.arguments) << "\nmessage: " << message;
        EXPECT_NE(message.find("--help"), std::string::npos) << message;
    }
}

TEST(OptionsTest, EncoderChoiceReachesVideoOutputs)
{
    Options options = parse({"--codec=libx265", "--crf", "22.5", "--preset", "slow", "a.mp4", "b.MKV"});
    EXPECT_EQ(options.output_kind, OutputKind::Mkv);
    EXPECT_EQ(options.encoder.codec, "libx265");
    EXPECT_EQ(options.encoder.crf, "22.5");
    EXPECT_EQ(options.encoder.preset, "slow");
}

TEST(OptionsTest, HelpWinsOverEverythingElse)
{
    EXPECT_TRUE(parse({"--scale", "9", "--help"}).show_help);
    EXPECT_TRUE(parse({"-h"}).show_help);
    EXPECT_NE(help_text().find("--compare FILE.png"), std::string::npos);
}

TEST(OptionsTest, DoubleDashEndsOptions)
{
    Options options = parse({"--", "-dash.png", "--out.png"});
    EXPECT_EQ(options.input, "-dash.png");
    EXPECT_EQ(options.output, "--out.png");
}

// The README's velmo-upscale section names every option --help lists and none it does not: an
// option is named by any of its spellings (`-h` or `--help`), in a span of its own (`--width W`).
TEST(OptionsTest, ReadmeListsTheOptionsOfHelp)
{
    std::ifstream file(VELMO_README_PATH);
    ASSERT_TRUE(file) << VELMO_README_PATH;
    std::stringstream text;
    text << file.rdbuf();
    const std::string readme = text.str();
    const size_t start = readme.find("\n## The main job: velmo-upscale");
    ASSERT_NE(start, std::string::npos);
    const std::string section = readme.substr(start, readme.find("\n## ", start + 1) - start);
    std::set<std::string> in_readme;
    const std::regex span("`(--?[a-z][a-z0-9-]*|--)(?:[ =][^`]*)?`");
    for (std::sregex_iterator it(section.begin(), section.end(), span), end; it != end; ++it)
        in_readme.insert((*it)[1]);

    std::set<std::string> in_help;
    std::istringstream help(help_text());
    const std::regex row("^  (--?[a-z][a-z0-9-]*|--)(?:, (--?[a-z][a-z-]*))?(?: |$).*");
    for (std::string line; std::getline(help, line);) {
        std::smatch names;
        if (!std::regex_match(line, names, row))
            continue;
        const bool named = in_readme.count(names[1]) || (names[2].matched && in_readme.count(names[2]));
        EXPECT_TRUE(named) << "the README does not name " << names[1];
        in_help.insert(names[1]);
        if (names[2].matched)
            in_help.insert(names[2]);
    }
    EXPECT_GT(in_help.size(), 20u);
    for (const std::string& name : in_readme)
        EXPECT_TRUE(in_help.count(name)) << "the README names " << name << ", which --help does not list";
}
