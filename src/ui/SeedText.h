// The seed of a run as its window's Seed box gives it: the same rules in every analysis window.
#pragma once

#include "analyses/RequestCheck.h"
#include "platform/Platform.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace orvalis {

// The largest seed: the command line's --seed takes 0 to 2^63 - 1.
inline constexpr std::uint64_t MaxSeed = 0x7FFFFFFFFFFFFFFFull;

// The box's whole number (0 to MaxSeed), a fresh seed within that range when
// the box is empty (so that the seed shown can be given to --seed), none when
// its text is not such a number.
inline std::optional<std::uint64_t> seedFromText(const QString& boxText, Platform& platform)
{
    const QString text = boxText.trimmed();
    if (text.isEmpty()) {
        return platform.randomSeed() & MaxSeed;
    }
    bool ok = false;
    const qulonglong seed = text.toULongLong(&ok);
    if (!ok || seed > MaxSeed || !text.front().isDigit()) {
        return std::nullopt;
    }
    return seed;
}

// The warning for a Seed box that holds no such number.
inline void warnOfSeed(Platform& platform, QWidget* parent)
{
    platform.warn(parent,
                  QStringLiteral("The seed must be a whole number from 0 to %1, or empty for a new seed.").arg(MaxSeed),
                  QString::fromLatin1(AnalysisErrorTitle));
}

} // namespace orvalis
