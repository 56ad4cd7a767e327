// Output files: Open Output and Save Output of a large log, in process, with the log's real text box.
//
// Usage: bench_output [MEGABYTES] [RUNS]
// Writes a log of report lines (CR LF) of about MEGABYTES (default 40) to a
// temporary file and prints the median of RUNS (default 3) runs of: reading and
// decoding the file alone (the baseline), Open Output (read, convert and lay out
// on a worker thread, then give the document to the text box: the part that
// keeps the window's thread busy) and Save Output (read the text box back,
// convert, write).
#include "ui/OutputFiles.h"
#include "ui/OutputLog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QThread>
#include <QtConcurrent>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    QTemporaryDir dir;
    const QString source = dir.filePath("log.txt");
    const QString target = dir.filePath("saved.txt");
    {
        const QByteArray line = "  Var3 Var7 Var9       0.12345      0.06789      0.23456 \r\n";
        QByteArray text;
        text.reserve(qsizetype{megabytes} * 1000000 + line.size());
        while (text.size() < qsizetype{megabytes} * 1000000) {
            text += line;
        }
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(source));
            return 1;
        }
    }

    std::unique_ptr<QPlainTextEdit> box(orvalis::OutputLog::createTextBox(nullptr));
    orvalis::OutputLog log(box.get());
    std::vector<double> baseline, open, adopt, save;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        {
            QFile file(source);
            file.open(QIODevice::ReadOnly);
            const QString decoded = QString::fromUtf8(file.readAll());
            if (decoded.isEmpty()) {
                return 1;
            }
        }
        baseline.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);

        // Open Output as the dialog does it: read and lay out on a worker
        // thread, then hand the document to the text box on this one.
        log.clear();
        timer.restart();
        const orvalis::OutputLog::DocumentStyle style = log.documentStyle();
        QThread* const owner = QThread::currentThread();
        QString error;
        QFuture<std::unique_ptr<QTextDocument>> loading = QtConcurrent::run([&]() -> std::unique_ptr<QTextDocument> {
            orvalis::Outcome<QString> text = orvalis::readOutputFile(source);
            if (!text.ok()) {
                error = QString::fromStdString(text.refusal().message);
                return nullptr;
            }
            return orvalis::OutputLog::buildDocument(std::move(text).value(), style, owner);
        });
        loading.waitForFinished();
        std::unique_ptr<QTextDocument> document = loading.takeResult();
        if (document == nullptr) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        QElapsedTimer adopting;
        adopting.start();
        log.adoptDocument(std::move(document));
        adopt.push_back(static_cast<double>(adopting.nsecsElapsed()) / 1e9);
        open.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);

        timer.restart();
        if (const orvalis::Status saved = orvalis::writeOutputFile(target, log.readAll()); !saved.ok()) {
            std::fprintf(stderr, "%s\n", saved.refusal().message.c_str());
            return 1;
        }
        save.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    if (QFile(target).size() != QFile(source).size()) {
        std::fprintf(stderr, "the saved log differs in size from the opened one\n");
        return 1;
    }
    std::printf("log of %d MB, median of %d runs\n", megabytes, runs);
    std::printf("baseline: read and decode the file  %.3f s\n", median(baseline));
    std::printf("Open Output                         %.3f s\n", median(open));
    std::printf("  of which on the window's thread   %.3f s\n", median(adopt));
    std::printf("Save Output                         %.3f s\n", median(save));
    return 0;
}
