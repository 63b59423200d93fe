// Checks the generated assets: the twelve notes in mi/ as the program finds
// them beside itself, and the pictures it is built with.

#include <QColor>
#include <QImage>
#include <QImageReader>
#include <QSet>
#include <QString>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

const std::string bin = PELMORA_BIN;

double equalTempered(int key) { return 440.0 * std::pow(2.0, (key - 69) / 12.0); }
double cents(double f, double ref) { return 1200.0 * std::log2(f / ref); }

// A long Hann-windowed stretch of samples, whose spectrum can be read at any
// frequency, not only at FFT bins. The fundamental is read from its own line:
// a piano's upper partials are stretched, which pulls period-based estimates
// sharp, but leaves the first partial's line where it is.
class Spectrum {
  public:
    Spectrum(const std::vector<double>& x, double rate) : windowed(x.size()), rate(rate) {
        const size_t n = x.size();
        for (size_t i = 0; i < n; ++i) {
            const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * (i + 0.5) / n);
            windowed[i] = x[i] * w;
            gain += w;
        }
    }

    // Amplitude of a sinusoid at f Hz.
    double amplitude(double f) const {
        const std::complex<double> step = std::polar(1.0, -2 * std::numbers::pi * f / rate);
        std::complex<double> z = 1, sum = 0;
        for (double v : windowed) {
            sum += v * z;
            z *= step;
        }
        return 2 * std::abs(sum) / gain;
    }

    // The strongest line within 40 cents of guess, in Hz. With a window of
    // a second or more the main lobe is at least 14 cents wide at these
    // pitches, so a 2-cent scan cannot step over it.
    double peak(double guess) const {
        auto at = [&](double c) { return amplitude(guess * std::pow(2.0, c / 1200.0)); };
        double best = -40, bestAmp = at(best);
        for (double c = -38; c <= 40; c += 2)
            if (double a = at(c); a > bestAmp) best = c, bestAmp = a;
        double lo = best - 2, hi = best + 2;
        const double g = (std::sqrt(5.0) - 1) / 2;
        double a = hi - g * (hi - lo), b = lo + g * (hi - lo), fa = at(a), fb = at(b);
        while (hi - lo > 1e-4) {
            if (fa > fb) hi = b, b = a, fb = fa, a = hi - g * (hi - lo), fa = at(a);
            else lo = a, a = b, fa = fb, b = lo + g * (hi - lo), fb = at(b);
        }
        return guess * std::pow(2.0, (lo + hi) / 2 / 1200.0);
    }

  private:
    std::vector<double> windowed;
    double rate, gain = 0;
};

// Partials k f sqrt(1 + B k^2), as of a stiff string, decaying; with B = 0
// a plain sine. The fundamental is made the weakest partial.
std::vector<double> tone(double f, double stiffness, int partials) {
    std::vector<double> x(52920);
    for (int k = 1; k <= partials; ++k) {
        const double fk = k * f * std::sqrt(1 + stiffness * k * k);
        const double amp = (k == 1 ? 0.2 : 1.0 / k), decay = 1.5 + 0.5 * k;
        for (size_t i = 0; i < x.size(); ++i)
            x[i] += amp * std::exp(-decay * i / 44100) * std::sin(2 * std::numbers::pi * fk * i / 44100 + k);
    }
    return x;
}

TEST(PitchEstimate, FindsTheFirstPartialToAHundredthOfACent) {
    for (double f : {261.6256, 300.1234, 493.8833})
        EXPECT_NEAR(cents(Spectrum(tone(f, 0, 1), 44100).peak(f * 1.01), f), 0.0, 0.01) << f << " Hz";
    const double f = 329.6276, stiffness = 0.0008;
    EXPECT_NEAR(cents(Spectrum(tone(f, stiffness, 10), 44100).peak(f), f * std::sqrt(1 + stiffness)), 0.0, 0.01)
        << "pulled by the upper partials";
}

struct Note {
    const char* name;
    int key;
};
const Note notes[] = {{"do", 60}, {"dos", 61}, {"re", 62}, {"res", 63}, {"mi", 64}, {"fa", 65},
                      {"fas", 66}, {"so", 67}, {"sos", 68}, {"ra", 69}, {"ras", 70}, {"si", 71}};

class NoteFile : public testing::TestWithParam<Note> {
  protected:
    void SetUp() override {
        const std::string path = bin + "/mi/" + GetParam().name + ".wav";
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(f, nullptr) << path << ": " << sf_strerror(nullptr);
        samples.resize(info.frames * info.channels);
        sf_read_double(f, samples.data(), samples.size());
        sf_close(f);
        ASSERT_FALSE(samples.empty());
        for (double v : samples) peak = std::max(peak, std::abs(v));
    }
    SF_INFO info{};
    std::vector<double> samples;
    double peak = 0;
};

TEST_P(NoteFile, IsAMono16BitWavOfAboutOneAndAHalfSeconds) {
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(info.channels, 1);
    // PipeWire's graph runs at 48 kHz: a note of its rate reaches it without
    // a resampler's delay.
    EXPECT_EQ(info.samplerate, 48000);
    EXPECT_NEAR(double(info.frames) / info.samplerate, 1.5, 0.05);
}

TEST_P(NoteFile, StartsAtOnceAndFadesOut) {
    const double rate = info.samplerate;
    ASSERT_GT(samples.size(), 0.01 * rate);
    // Audible: 40 dB under the peak. The quiz plays the note on a key press,
    // so any lead-in is heard as lag.
    const auto onset = std::find_if(samples.begin(), samples.end(), [&](double v) { return std::abs(v) > peak / 100; });
    EXPECT_LT(onset - samples.begin(), 0.005 * rate);
    double tail = 0;
    for (auto it = samples.end() - std::ptrdiff_t(0.01 * rate); it != samples.end(); ++it)
        tail = std::max(tail, std::abs(*it));
    EXPECT_LT(tail, peak / 20) << "the last 10 ms would click";
    EXPECT_GT(peak, std::pow(10.0, -6.0 / 20)) << "too quiet";
    EXPECT_LT(peak, std::pow(10.0, -1.0 / 20)) << "no headroom";
}

TEST_P(NoteFile, FundamentalIsWithinThreeCentsOfEqualTemperament) {
    const double rate = info.samplerate;
    ASSERT_GE(samples.size(), 1.35 * rate);
    // Past the hammer's attack and before the fade-out.
    const std::vector<double> steady(samples.begin() + std::ptrdiff_t(0.15 * rate),
                                     samples.begin() + std::ptrdiff_t(1.35 * rate));
    const Spectrum spectrum(steady, rate);
    const double expected = equalTempered(GetParam().key);
    const double f = spectrum.peak(expected);
    const double off = cents(f, expected);
    RecordProperty(std::string(GetParam().name) + "_cents", std::to_string(off));
    EXPECT_NEAR(off, 0.0, 3.0) << GetParam().name << ".wav: " << f << " Hz";

    // A note an octave off has a line near the expected frequency too (its
    // second partial, or noise), so the line found must be the fundamental:
    // strong, and with nothing comparable an octave below.
    double power = 0;
    for (double v : steady) power += v * v;
    const double rms = std::sqrt(power / steady.size());
    const double line = spectrum.amplitude(f);
    EXPECT_GT(line, 0.3 * rms) << GetParam().name << ".wav: no fundamental where expected";
    EXPECT_LT(spectrum.amplitude(spectrum.peak(expected / 2)), 0.05 * line)
        << GetParam().name << ".wav: sounds an octave low";
}

INSTANTIATE_TEST_SUITE_P(Assets, NoteFile, testing::ValuesIn(notes),
                         [](const testing::TestParamInfo<Note>& p) { return std::string(p.param.name); });

const std::string pictures = PELMORA_SOURCE "/assets/pictures/";
QImage picture(const std::string& name) { return QImage(QString::fromStdString(pictures + name)); }

// Entries in a GIF's global colour table, from its logical screen descriptor.
int gifTableSize(const std::string& name) {
    std::ifstream in(pictures + name, std::ios::binary);
    char head[13] = {};
    if (!in.read(head, sizeof head) || std::string(head, 3) != "GIF") return -1;
    const unsigned packed = static_cast<unsigned char>(head[10]);
    return (packed & 0x80) ? 2 << (packed & 7) : 0;
}

int distinctColours(const QImage& image) {
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) seen.insert(image.pixel(x, y));
    return seen.size();
}

TEST(Pictures, KeysHaveTheirSizeAndExactlyTheirPalette) {
    struct Key {
        const char* name;
        int width, height, colours;
    };
    for (auto [name, width, height, colours] : {Key{"white-lower-cf.gif", 23, 42, 4}, Key{"white-lower-dga.gif", 23, 42, 8},
                                                Key{"white-lower-eb.gif", 23, 42, 4}, Key{"black.gif", 15, 80, 2},
                                                Key{"white-upper-cf.gif", 14, 82, 4}, Key{"white-upper-dga.gif", 7, 82, 4},
                                                Key{"white-upper-eb.gif", 15, 82, 4}}) {
        const QImage image = picture(name);
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_EQ(image.size(), QSize(width, height)) << name;
        EXPECT_EQ(gifTableSize(name), colours) << name;
        EXPECT_EQ(distinctColours(image), colours) << name << ": palette entries left unused";
    }
}

// The window draws each upper strip over the top two rows of its lower part;
// unless the pixels agree there, the outline shows a notch or a spur that
// depends on which is drawn last. Columns are the lower part's own.
TEST(Pictures, UpperStripsMatchTheLowerPartsTheyOverlap) {
    struct Pair {
        const char *upper, *lower;
        int offset;
    };
    for (auto [upperName, lowerName, offset] : {Pair{"white-upper-cf.gif", "white-lower-cf.gif", 0},
                                                Pair{"white-upper-dga.gif", "white-lower-dga.gif", 8},
                                                Pair{"white-upper-eb.gif", "white-lower-eb.gif", 8}}) {
        const QImage upper = picture(upperName), lower = picture(lowerName);
        ASSERT_FALSE(upper.isNull() || lower.isNull()) << upperName;
        for (int row = 0; row < 2; ++row)
            for (int x = 0; x < upper.width(); ++x)
                EXPECT_EQ(upper.pixel(x, upper.height() - 2 + row), lower.pixel(offset + x, row))
                    << upperName << " column " << x << ", overlap row " << row;
    }
}

TEST(Pictures, CharacterIsA300SquareJpegKeptInItsVisibleCorner) {
    const QImage image = picture("character.jpg");
    ASSERT_EQ(image.size(), QSize(300, 300));
    const QColor background = image.pixelColor(299, 299);
    EXPECT_GT(background.red(), 220);
    EXPECT_GT(background.red(), background.green());
    EXPECT_GT(background.green(), background.blue()) << "light orange expected";
    // Only the top-left 229 x 285 px show in the window: beyond it, nothing
    // but background (give or take JPEG noise).
    int drawn = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x) {
            if (x < 229 && y < 285) continue;
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - background.red()) + std::abs(c.green() - background.green()) +
                    std::abs(c.blue() - background.blue()) > 24)
                ++drawn;
        }
    EXPECT_EQ(drawn, 0);
}

TEST(Pictures, IconIsA32SquarePaletteOfAtMost16) {
    const QImage icon = picture("icon.png");
    ASSERT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(icon.format(), QImage::Format_Indexed8);
    EXPECT_LE(icon.colorCount(), 16);
    EXPECT_GT(distinctColours(icon), 4) << "an icon, not a blank square";
}

std::string doubleSized(const std::string& name) { return name.substr(0, name.rfind('.')) + "@2x" + name.substr(name.rfind('.')); }

// Mean difference per channel between two pictures of one size.
double meanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            sum += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue());
        }
    return sum / (3.0 * a.width() * a.height());
}

// The drawings for screens of twice the density: each twice its picture's
// size in the same format. A key is its picture with every pixel doubled,
// so palette, outlines and overlaps are the design's; the illustration and
// the icon are drawn anew from their SVGs and must still show the same.
TEST(Pictures, DoubleSizedDrawingsMatchTheDesign) {
    for (const char* key : {"white-lower-cf.gif", "white-lower-dga.gif", "white-lower-eb.gif", "black.gif",
                            "white-upper-cf.gif", "white-upper-dga.gif", "white-upper-eb.gif"}) {
        const std::string name = doubleSized(key);
        const QImage small = picture(key), large = picture(name);
        ASSERT_FALSE(large.isNull()) << name;
        EXPECT_EQ(QImageReader(QString::fromStdString(pictures + name)).format(), "gif") << name;
        ASSERT_EQ(large.size(), small.size() * 2) << name;
        EXPECT_EQ(gifTableSize(name), gifTableSize(key)) << name;
        int differing = 0;
        for (int y = 0; y < large.height(); ++y)
            for (int x = 0; x < large.width(); ++x) differing += large.pixel(x, y) != small.pixel(x / 2, y / 2);
        EXPECT_EQ(differing, 0) << name;
    }
    const struct { const char *name, *format; QSize size; double near; } drawn[] = {
        {"character.jpg", "jpeg", QSize(600, 600), 4}, {"icon.png", "png", QSize(64, 64), 25}};
    for (const auto& [name, format, size, near] : drawn) {
        const std::string large = doubleSized(name);
        const QImage image = picture(large);
        EXPECT_EQ(QImageReader(QString::fromStdString(pictures + large)).format(), format) << large;
        ASSERT_EQ(image.size(), size) << large;
        const QImage reduced = image.convertToFormat(QImage::Format_ARGB32).scaled(size / 2, Qt::IgnoreAspectRatio,
                                                                                  Qt::SmoothTransformation);
        EXPECT_LT(meanDifference(reduced, picture(name).convertToFormat(QImage::Format_ARGB32)), near) << large;
    }
    const QImage icon = picture("icon@2x.png");
    EXPECT_EQ(icon.format(), QImage::Format_Indexed8);
    EXPECT_LE(icon.colorCount(), 16);
}

}  // namespace
