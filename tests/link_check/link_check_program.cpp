// A small windowed program built with the card's flags, to show that the
// link-map check rejects a planted use of std::function (PLANT_STD_FUNCTION)
// and passes the same program without it.
#include <windows.h>

#include <string>
#include <vector>
#ifdef PLANT_STD_FUNCTION
#include <functional>
#endif

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command, int) {
    std::vector<std::string> words;
    words.push_back(command ? command : "");
#ifdef PLANT_STD_FUNCTION
    // A table of callables picked by the input: nothing the compiler can fold away.
    std::vector<std::function<int(const std::string&)>> measures;
    measures.push_back([](const std::string& s) { return static_cast<int>(s.size()); });
    measures.push_back([&words](const std::string& s) { return static_cast<int>(s.size() + words.size()); });
    return measures[words.back().size() % 2](words.back());
#else
    return static_cast<int>(words.back().size());
#endif
}
