// orvalis-cli: the program's analyses without a window, reports on standard output.
#include "cli/CliApp.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <iostream>
#include <streambuf>
#include <unistd.h>

namespace {

// Standard output through write(2), remembering the first error, so that a
// full disk or a closed pipe is reported with its reason instead of silently.
class StandardOutput : public std::streambuf {
public:
    StandardOutput() { setp(m_buffer, m_buffer + sizeof m_buffer); }
    ~StandardOutput() override { sync(); }
    StandardOutput(const StandardOutput&) = delete;
    StandardOutput& operator=(const StandardOutput&) = delete;

    // errno of the first failed write, 0 while every write succeeded.
    int error() const { return m_error; }

protected:
    int_type overflow(int_type c) override
    {
        if (sync() != 0) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override
    {
        const char* data = pbase();
        std::size_t left = static_cast<std::size_t>(pptr() - pbase());
        setp(m_buffer, m_buffer + sizeof m_buffer);
        while (left > 0 && m_error == 0) {
            const ssize_t written = ::write(STDOUT_FILENO, data, left);
            if (written < 0) {
                if (errno != EINTR) {
                    m_error = errno;
                }
                continue;
            }
            data += written;
            left -= static_cast<std::size_t>(written);
        }
        return m_error == 0 ? 0 : -1;
    }

private:
    char m_buffer[1 << 16];
    int m_error = 0;
};

} // namespace

int main(int argc, char** argv)
{
    // Under a file-size limit a write fails with EFBIG (exit 1 with the reason)
    // instead of the signal killing the program halfway.
    std::signal(SIGXFSZ, SIG_IGN);
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    StandardOutput output;
    std::ostream out(&output);
    int status = orvalis::cli::ExitFailure;
    // Whatever escapes the commands is a fault of the program: said, never an abort.
    try {
        status = orvalis::cli::runCli(args, out, std::cerr);
    } catch (const std::exception& error) {
        out.flush();
        std::cerr << "orvalis-cli: internal error: " << error.what() << "\n";
        return orvalis::cli::ExitFailure;
    } catch (...) {
        out.flush();
        std::cerr << "orvalis-cli: internal error: an unknown exception\n";
        return orvalis::cli::ExitFailure;
    }
    out.flush();
    if (output.error() != 0) {
        std::cerr << "orvalis-cli: cannot write the output: " << std::strerror(output.error()) << "\n";
        return orvalis::cli::ExitFailure;
    }
    return status;
}
