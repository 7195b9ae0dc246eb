// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <stdexcept>

/// Something the benchmark needed did not work; the run stops with exit code 1.
class BenchError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;

    [[noreturn]] static void raise(const QString& text) { throw BenchError(text.toStdString()); }
};
