// orvalis-cli's --figure: a QGuiApplication on the offscreen platform, the window's drawing, the safe write.
#include "cli/CliFigure.h"

#include "common/SafeWrite.h"
#include "figures/DistributionFigure.h"
#include "figures/DominanceFigure.h"
#include "figures/ModerationFigures.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGlobal>

#include <memory>
#include <optional>
#include <string_view>

namespace orvalis::cli {
namespace {

// The handler of Qt's messages before the figure's drawing began.
QtMessageHandler shownMessages = nullptr;

// Qt's notes on its own set-up (a runtime directory it made up, a font it
// replaced) say nothing the user can act on: standard error keeps the
// program's own messages. A drawing that fails is a refusal, said as such;
// Qt's critical and fatal messages still go through.
void quietNotes(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if ((type == QtCriticalMsg || type == QtFatalMsg) && shownMessages != nullptr) {
        shownMessages(type, context, message);
    }
}

// Qt's messages handled by quietNotes while it lives.
class QuietQt {
public:
    QuietQt() { shownMessages = qInstallMessageHandler(quietNotes); }
    ~QuietQt() { qInstallMessageHandler(shownMessages); }
    QuietQt(const QuietQt&) = delete;
    QuietQt& operator=(const QuietQt&) = delete;
};

} // namespace

bool figuresAvailable()
{
    return true;
}

namespace {

// Makes the figure make() gives (none: refused with why) under a
// QGuiApplication, draws it as request says and writes it by the save rules.
template <typename Make>
Status drawAndWrite(const FigureRequest& request, const std::string& dataFile, Make&& make, const char* why)
{
    // Text needs the fonts of a QGuiApplication. Made here, and only here, so
    // that a command line without --figure starts and runs as without Qt; the
    // offscreen platform needs no display. A process that has one (the
    // window tests) draws with it. The platform given on the command line wins
    // over the environment's: never one that needs a display. (The
    // application takes its options out of argv, which outlives it.)
    const QuietQt quiet;
    char name[] = "orvalis-cli";
    char platform[] = "-platform";
    char offscreen[] = "offscreen";
    char* argv[] = {name, platform, offscreen, nullptr};
    int argc = 3;
    std::optional<QGuiApplication> application;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        if (QCoreApplication::instance() != nullptr) {
            return Refusal{"the figure needs a graphical application object", {}, Refusal::Reason::Fault};
        }
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        application.emplace(argc, argv);
    }
    const std::unique_ptr<Figure> figure = make();
    if (!figure) {
        return Refusal{why, {}, Refusal::Reason::Refused};
    }
    FigureSpec printed; // the printed size the command line asked for
    printed.widthMm = request.widthMm;
    printed.heightMm = request.heightMm;
    figure->setFigure(printed);
    Outcome<QByteArray> bytes = Refusal{};
    switch (request.type) {
    case FigureFileType::Pdf:
        bytes = figure->pdfBytes();
        break;
    case FigureFileType::Png:
        bytes = figure->pngBytes(request.dpi);
        break;
    case FigureFileType::Svg:
        bytes = figure->svgBytes();
        break;
    }
    if (!bytes.ok()) {
        return bytes.refusal();
    }
    SafeWriteOptions keep;
    keep.protectedFiles.push_back(dataFile);
    return writeFileSafely(request.file, std::string_view(bytes->constData(), static_cast<std::size_t>(bytes->size())),
                           keep);
}

} // namespace

Status writeDistributionFigure(const BootstrapResult& result, const FigureRequest& request, const std::string& dataFile)
{
    return drawAndWrite(
        request, dataFile, [&]() -> std::unique_ptr<Figure> { return std::make_unique<DistributionFigure>(result); },
        "");
}

Status writeModerationFigure(const HierarchicalResult& result, const FigureRequest& request,
                             const std::string& dataFile)
{
    const ModerationFigureKind kind = request.moderation.value_or(ModerationFigureKind::SimpleSlopes);
    return drawAndWrite(
        request, dataFile, [&]() -> std::unique_ptr<Figure> { return ModerationFigure::make(result, kind); },
        "the run has no such figure of its simple slopes");
}

Status writeDominanceFigure(const DominanceResult& result, const FigureRequest& request, const std::string& dataFile)
{
    return drawAndWrite(
        request, dataFile, [&]() -> std::unique_ptr<Figure> { return std::make_unique<DominanceFigure>(result); },
        "");
}

} // namespace orvalis::cli
