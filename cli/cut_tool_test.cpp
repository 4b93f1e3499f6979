#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <zlib.h>

#include <stdexcept>

#include "cut_tool.h"
#include "gzip_design.h"
#include "cutdata/path_ops.h"

namespace vantrel::cli {
namespace {

ParsedArguments parse(std::vector<std::string> arguments) { return parseCutToolArguments(arguments); }

TEST(CutToolArguments, EveryOptionInBothSpellings) {
    for (bool attached : {false, true}) {
        std::vector<std::string> arguments;
        auto add = [&](const std::string& option, const std::string& value) {
            if (attached) {
                arguments.push_back(option + "=" + value);
            } else {
                arguments.push_back(option);
                arguments.push_back(value);
            }
        };
        add("--cut-type", "print-and-cut");
        add("--model", "3");
        add("--reg-mark-type", "2");
        add("--force", "33");
        add("--speed", "1");
        add("--passes", "10");
        add("--blade-offset", "off");
        add("--carrier-mat", "off");
        add("--track-enhancing", "on");
        add("--media-width", "8.5");
        add("--dpi-x", "500 1/2");
        add("--dpi-y", "1016/2");
        add("--order", "inside-out");
        arguments.insert(arguments.end(), {"--flatten", "--wire", "--search-command", "-o", "out.txt", "--", "-x.path"});
        auto parsed = parseCutToolArguments(arguments);
        ASSERT_TRUE(parsed.ok) << parsed.error;
        const CutToolOptions& o = parsed.options;
        EXPECT_EQ(o.cutType, 1);
        EXPECT_EQ(o.model, 3);
        EXPECT_EQ(o.regMarkType, 2);
        EXPECT_EQ(o.force, 33);
        EXPECT_EQ(o.speed, 1);
        EXPECT_EQ(o.passes, 10);
        EXPECT_FALSE(o.bladeOffset);
        EXPECT_FALSE(o.carrierMat);
        EXPECT_TRUE(o.trackEnhancing);
        EXPECT_EQ(o.mediaWidth, 8.5f);
        EXPECT_EQ(o.dpiX, "500 1/2");
        EXPECT_EQ(o.dpiY, "1016/2");
        EXPECT_EQ(o.order, CutOrder::InsideOut);
        EXPECT_TRUE(o.flatten && o.wire && o.searchCommand);
        EXPECT_EQ(o.output, "out.txt");
        EXPECT_EQ(o.design, "-x.path");
    }
    EXPECT_EQ(parse({"--cut-type", "knife-point", "-"}).options.cutType, 2);
    EXPECT_EQ(parse({"-"}).options.design, "-");
    EXPECT_TRUE(parse({"--help"}).options.help);
    const auto send = parse({"--send", "--device=3:14", "--stall-limit", "5", "--no", "d"});
    ASSERT_TRUE(send.ok) << send.error;
    EXPECT_TRUE(send.options.send && send.options.no && !send.options.yes);
    EXPECT_EQ(send.options.device, "3:14");
    EXPECT_EQ(send.options.stallLimit, 5);
    EXPECT_TRUE(parse({"--list"}).options.list);
    const auto view = parse({"--summary", "--preview=job.PNG", "--order", "travel", "d"});
    ASSERT_TRUE(view.ok) << view.error;
    EXPECT_TRUE(view.options.summary);
    EXPECT_EQ(view.options.preview, "job.PNG");
    EXPECT_EQ(view.options.order, CutOrder::Travel);
    EXPECT_EQ(parse({"d"}).options.order, CutOrder::Drawing);
}

TEST(CutToolArguments, BadInputIsRefusedWithTheOptionNamed) {
    struct Case {
        std::vector<std::string> arguments;
        const char* mentions;
    } cases[] = {
        {{"--force", "0", "d"}, "--force"},        {{"--force", "34", "d"}, "--force"},
        {{"--force", "12x", "d"}, "--force"},      {{"--force", "", "d"}, "--force"},
        {{"--speed", "11", "d"}, "--speed"},       {{"--passes", "0", "d"}, "--passes"},
        {{"--model", "-1", "d"}, "--model"},       {{"--model", "1.0", "d"}, "--model"},
        {{"--cut-type", "WYSIWYG", "d"}, "--cut-type"},
        {{"--carrier-mat", "yes", "d"}, "--carrier-mat"},
        {{"--media-width", "-12", "d"}, "--media-width"},
        {{"--media-width", "nan", "d"}, "--media-width"},
        {{"--media-width", "1e999", "d"}, "--media-width"},
        {{"--dpi-x", "0", "d"}, "--dpi-x"},        {{"--dpi-y", "-1 1/2", "d"}, "--dpi-y"},
        {{"--dpi-x", "1/0", "d"}, "--dpi-x"},      {{"--dpi-x", "1e-50", "d"}, "--dpi-x"},
        {{"--dpi-y", "1e300", "d"}, "--dpi-y"},    {{"--flatten=yes", "d"}, "--flatten"},
        {{"--force"}, "--force"},                  {{"--loud", "d"}, "--loud"},
        {{"a", "b"}, "more than one design"},      {{"--wire"}, "no design"},
        {{"--search-command", "d"}, "print-and-cut"},
        // Reaching the machine: options that do not belong together.
        {{"--send", "--model", "2", "d"}, "--model"},  {{"--send", "--wire", "d"}, "--wire"},
        {{"--send", "-o", "f", "d"}, "-o"},            {{"--send", "--yes", "--no", "d"}, "--yes"},
        {{"--yes", "d"}, "--send"},                    {{"--device", "1:2", "d"}, "--device"},
        {{"--list", "d"}, "--list"},                   {{"--list", "--send"}, "--send"},
        {{"--send", "--device", "1", "d"}, "--device"},
        {{"--send", "--device", "1:256", "d"}, "--device"},
        {{"--send", "--stall-limit", "0", "d"}, "--stall-limit"},
        {{"--send"}, "no design"},
        {{"--order", "shortest", "d"}, "--order"},     {{"--preview", "job.jpg", "d"}, "--preview"},
        {{"--cut-type", "print-and-cut", "--search-command", "--summary", "d"}, "--summary"},
        // Marks: a box of four numbers in inches, and a page to write them to.
        {{"--cut-type", "print-and-cut", "--marks-at", "1,2,3", "d"}, "--marks-at"},
        {{"--cut-type", "print-and-cut", "--marks-at", "1,2,3,4,5", "d"}, "--marks-at"},
        {{"--cut-type", "print-and-cut", "--marks-at", "1,2,-3,4", "d"}, "--marks-at"},
        {{"--cut-type", "print-and-cut", "--marks-at", "1,2,3,nan", "d"}, "--marks-at"},
        {{"--cut-type", "print-and-cut", "--marks-at", "1,2,3in,4", "d"}, "--marks-at"},
        {{"--marks-at", "1,2,3,4", "d"}, "print-and-cut"},
        {{"--marks-svg", "marks.pdf", "d"}, "--marks-svg"},
        {{"--marks-svg", "marks.svg", "--send", "d"}, "--send"},
        {{"--marks-svg", "marks.svg", "-o", "f", "d"}, "-o"},
    };
    for (const auto& c : cases) {
        auto parsed = parseCutToolArguments(c.arguments);
        EXPECT_FALSE(parsed.ok) << c.arguments[0];
        EXPECT_NE(parsed.error.find(c.mentions), std::string::npos) << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << parsed.error;
    }
}

const char* const Rectangle = "M 1 1 H 5 V 4 H 1 Z";
// A curved design: an arch whose top lies half an inch below its control points.
const char* const Arch = "M 1 3 C 1 1 4 1 4 3 Z";

CutToolResult run(std::vector<std::string> arguments, const char* design) {
    arguments.push_back("-");
    auto parsed = parseCutToolArguments(arguments);
    EXPECT_TRUE(parsed.ok) << parsed.error;
    return runCutTool(parsed.options, design, "<stdin>");
}

TEST(CutTool, PrintAndCutJobTakesItsOriginAndExtentsFromTheMarks) {
    auto job = run({"--cut-type", "print-and-cut"}, Rectangle);
    ASSERT_TRUE(job.ok) << job.error;
    // No job prefix, margin 0,0, and the mark extents as the working area.
    EXPECT_EQ(job.output.rfind("FC18|TB99|FM1|TB50,1|FO2540|&100,100,100|\\0,0|Z1556,2540|FX10,0|!10,0|L0|L0|M0,0|", 0),
              0u)
        << job.output;
    // The design's corner sits half an inch right of and one line width below the origin mark's corner.
    EXPECT_NE(job.output.find("|M16,254|"), std::string::npos) << job.output;

    // The square origin mark of a CAMEO starts where the corner mark would: same job, other search.
    auto cameo = run({"--cut-type", "print-and-cut", "--model", "2"}, Rectangle);
    ASSERT_TRUE(cameo.ok);
    EXPECT_EQ(cameo.output.substr(cameo.output.find("|M0,0|")), job.output.substr(job.output.find("|M0,0|")));
    auto search = run({"--cut-type", "print-and-cut", "--model", "2", "--search-command"}, Rectangle);
    EXPECT_NE(search.output.find("|TB51,116|"), std::string::npos) << search.output;
    auto corner = run({"--cut-type", "print-and-cut", "--model", "1", "--search-command", "--speed", "3"}, Rectangle);
    EXPECT_EQ(corner.output,
              "!3,0|FJ|FN1|TB99|TB51,254|TB52,2|TB53,16|TB54,0,0|TB55,1|M540,381|TB23,1556,2540|");
}

TEST(CutTool, OriginMarkIsSquareForCameoPortraitOrTheHostsSquareMarkWithoutMachine) {
    // The mark length (TB51) tells the shapes apart: 116 steps square, 254 corner.
    struct Case {
        const char* model;
        const char* hostType;
        const char* markLength;
    } cases[] = {
        {"2", "0", "|TB51,116|"}, {"3", "0", "|TB51,116|"},  // a connected CAMEO or PORTRAIT
        {"1", "2", "|TB51,254|"},                              // a connected machine ignores the host
        {"0", "2", "|TB51,116|"}, {"0", "0", "|TB51,254|"},  // no machine: the host's mark type decides
    };
    for (const Case& c : cases) {
        auto search = run({"--cut-type", "print-and-cut", "--model", c.model, "--reg-mark-type", c.hostType,
                           "--search-command"},
                          Rectangle);
        ASSERT_TRUE(search.ok) << search.error;
        EXPECT_NE(search.output.find(c.markLength), std::string::npos)
            << "model " << c.model << ", host type " << c.hostType << ": " << search.output;
    }
}

TEST(CutTool, MarksAreLaidAroundTheCurvesThemselves) {
    // The arch's curve-aware top is y 1.5: its mark sits there, not at the control points' 1.0.
    auto search = run({"--cut-type", "print-and-cut", "--model", "0", "--search-command"}, Arch);
    ASSERT_TRUE(search.ok) << search.error;
    // Extent along the carriage: 1.5 inches of design plus two line widths, at 508 steps per inch.
    EXPECT_NE(search.output.find("|TB23,794,2032|"), std::string::npos) << search.output;
}

class TextSource : public DesignTextSource {
public:
    explicit TextSource(std::string text) : text_(std::move(text)) {}
    std::size_t read(char* buffer, std::size_t size) override {
        // A byte at a time at first, as a pipe may hand it over.
        const std::size_t n = std::min({size, text_.size() - at_, at_ < 4 ? std::size_t{1} : size});
        text_.copy(buffer, n, at_);
        at_ += n;
        return n;
    }

private:
    std::string text_;
    std::size_t at_ = 0;
};

std::string gzipped(const std::string& text) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, text.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string readAll(DesignTextSource& source) {
    std::string text;
    char buffer[100];
    while (std::size_t got = source.read(buffer, sizeof buffer)) text.append(buffer, got);
    return text;
}

TEST(CutTool, CompressedDesignsAreInflatedWithinTheirLimit) {
    const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\"><path d=\"M0 0H96V96z\"/></svg>";
    // Compressed (two members one after the other, as gzip allows) or plain: the same text.
    for (const std::string& stored : {gzipped(svg.substr(0, 20)) + gzipped(svg.substr(20)), svg}) {
        TextSource inner(stored);
        GzipAwareSource source(inner, "a.svgz");
        EXPECT_EQ(readAll(source), svg);
    }
    // A small file that inflates past the limit is refused, and so is a damaged one.
    const std::string bomb = svg + std::string((1 << 20) + 1, ' ');
    TextSource bombInner(gzipped(bomb));
    GzipAwareSource limited(bombInner, "bomb.svgz", 1 << 20);
    EXPECT_THROW(readAll(limited), std::runtime_error);
    TextSource exact(gzipped(bomb.substr(0, 1 << 20)));
    GzipAwareSource atLimit(exact, "exact.svgz", 1 << 20);
    EXPECT_EQ(readAll(atLimit).size(), std::size_t{1} << 20);
    std::string damaged = gzipped(svg);
    damaged[damaged.size() - 5] ^= 1;  // the length in its trailer
    TextSource damagedInner(damaged);
    GzipAwareSource broken(damagedInner, "broken.svgz");
    EXPECT_THROW(readAll(broken), std::runtime_error);
}

// The marks as --marks-svg writes them, read back as geometry: the label
// changed, so that the reader cuts what it would otherwise leave printed.
std::vector<PointF> marksReadBack(const CutToolResult& page) {
    std::string text = page.output;
    const std::string label = RegMarkLayerLabel;
    for (std::size_t at; (at = text.find(label)) != std::string::npos;) text.replace(at, label.size(), "read back");
    const DesignParseResult read = parseSvg(text);
    EXPECT_TRUE(read.ok) << read.errorText();
    return read.path.points;
}

TEST(CutTool, MarksWrittenLieWhereTheLayoutPutsThem) {
    // An SVG in mm with its user space moved, and a layer of marks already there.
    const char* const Drawing =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" "
        "width=\"200mm\" height=\"150mm\" viewBox=\"-10 5 400 300\">\n"
        "<g inkscape:groupmode=\"layer\" inkscape:label=\"Registration marks\"><path d=\"M 0 0 H 9\"/></g>\n"
        "<g transform=\"translate(60 70) rotate(10)\"><rect width=\"120\" height=\"80\" fill=\"none\" stroke=\"#000\"/></g>\n"
        "<!-- </svg> --></svg>\n";
    for (const char* model : {"1", "2"}) {
        for (const char* design : {Rectangle, Drawing}) {
            auto parsed = parseCutToolArguments({"--marks-svg", "m.svg", "--model", model, "-"});
            ASSERT_TRUE(parsed.ok) << parsed.error;
            const CutToolResult page = writeMarksSvg(parsed.options, design, "<stdin>");
            ASSERT_TRUE(page.ok) << page.error;
            const RegMarkLayout layout = regMarksOf(parsed.options, readDesign(design, "<stdin>").path, std::stoi(model));
            std::vector<PointF> expected;
            for (const Path* mark : {&layout.markTopLeft, &layout.markTopRight, &layout.markBottomLeft})
                expected.insert(expected.end(), mark->points.begin(), mark->points.end());
            // The design's own figure comes first in the SVG, the marks replace the old layer.
            std::vector<PointF> read = marksReadBack(page);
            ASSERT_GE(read.size(), expected.size()) << page.output;
            read.erase(read.begin(), read.end() - static_cast<std::ptrdiff_t>(expected.size()));
            for (std::size_t i = 0; i < expected.size(); ++i) {
                EXPECT_NEAR(read[i].x, expected[i].x, 0.001) << model << " " << i;
                EXPECT_NEAR(read[i].y, expected[i].y, 0.001) << model << " " << i;
            }
            EXPECT_EQ(page.output.find("M 0 0 H 9"), std::string::npos) << "the old layer is still there";
            // Printed, never cut: the marked drawing cuts as the drawing alone.
            if (design == Drawing) {
                EXPECT_EQ(run({}, page.output.c_str()).output, run({}, design).output);
            }
        }
    }
}

TEST(CutTool, MarksAtTheirOwnBoxChangeNoByteAndFollowAMovedDesign) {
    for (const char* design : {Rectangle, Arch, "M 0.7 0.9 C 3 0.31 2 4 6.13 2.9 Z"}) {
        const RegMarkSpan span = RegMarkLayout::around(readDesign(design, "d").path, false).span();
        const std::string box = marksSpanText(span);
        EXPECT_EQ(marksSpanNamed(box), span) << box;
        for (const char* model : {"1", "2"}) {
            for (const char* what : {"--search-command", "--flatten"}) {
                auto plain = run({"--cut-type", "print-and-cut", "--model", model, what}, design);
                auto placed = run({"--cut-type", "print-and-cut", "--model", model, what, "--marks-at", box}, design);
                ASSERT_TRUE(placed.ok) << placed.error;
                EXPECT_EQ(placed.output, plain.output) << design << " " << box;
            }
        }
    }
    // Moved an inch right after the marks were printed: the same search, the cut an inch (508 steps) further.
    auto moved = run({"--cut-type", "print-and-cut", "--marks-at", "0.5,0.96850395,5,3.06299213"}, "M 2 1 H 6 V 4 H 2 Z");
    EXPECT_NE(moved.output.find("|M16,762|"), std::string::npos) << moved.output;
}

TEST(CutTool, MarksThatAPrinterLeavesOutAreSaidInASentence) {
    const std::string page = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8in\" height=\"6in\" viewBox=\"0 0 8 6\">";
    struct Case {
        std::string design;
        const char* says;  // empty: the marks print
    } cases[] = {
        {"M 1 1 H 5 V 4 H 1 Z", ""},
        {"M 0.3 1 H 5 V 4 H 0.3 Z", "at negative coordinates"},
        {"M 0.7 1 H 5 V 4 H 0.7 Z", "within a quarter inch"},
        {page + "<rect x=\"1\" y=\"1\" width=\"6\" height=\"4\"/></svg>", ""},
        {page + "<rect x=\"1\" y=\"1\" width=\"6.3\" height=\"4\"/></svg>", "within a quarter inch"},
        {page + "<rect x=\"1\" y=\"1\" width=\"6\" height=\"5\"/></svg>", "off the page"},
    };
    for (const Case& c : cases) {
        auto parsed = parseCutToolArguments({"--marks-svg", "m.svg", "-"});
        const CutToolResult refused = writeMarksSvg(parsed.options, c.design, "<stdin>");
        EXPECT_EQ(refused.ok, !*c.says) << c.design;
        EXPECT_NE(refused.error.find(c.says), std::string::npos) << refused.error;
        parsed.options.yes = true;
        const CutToolResult written = writeMarksSvg(parsed.options, c.design, "<stdin>");
        EXPECT_TRUE(written.ok) << written.error;
        EXPECT_EQ(written.notes.size(), *c.says ? 2u : 1u);
        // A job is written all the same, the sentence with it.
        auto job = run({"--cut-type", "print-and-cut"}, c.design.c_str());
        EXPECT_TRUE(job.ok && (*c.says == 0 || job.notes.back().find(c.says) != std::string::npos)) << c.design;
    }
}

}  // namespace
}  // namespace vantrel::cli
