#include "PagesCommand.h"

#include <iostream>

#ifdef _WIN32
#include <windows.h>

// The arguments in UTF-16, as Windows holds them, passed on in UTF-8 like every string of
// the program, so that names outside the ANSI code page ("請求書.tif") arrive whole; what is
// printed is UTF-8 too, and a console is told so.
int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const int size =
            ::WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(std::size_t(size > 0 ? size : 1), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), size, nullptr, nullptr);
        arg.pop_back();
        args.push_back(std::move(arg));
    }
    ::SetConsoleOutputCP(CP_UTF8);
    return tessary::runPagesCommand(args, std::cout, std::cerr);
}

#else

int main(int argc, char** argv)
{
    return tessary::runPagesCommand(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                    std::cerr);
}

#endif
