// Prints where to click a control of one of the program's windows: the centre of the
// control in the window's client area, in pixels, as "X Y", from the program's own layout.
//   layout-point Form1|Form2|Form3 CONTROL
#include "ui/Twips.h"
#include "ui/explanation/Form3Layout.h"
#include "ui/main/Form1Layout.h"
#include "ui/results/Form2Layout.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

int main(int argc, char** argv) {
    const std::map<std::string, QRect> controls{
        {"Form1.Command1", Form1Layout::Command1}, {"Form1.Command2", Form1Layout::Command2},
        {"Form1.Command3", Form1Layout::Command3}, {"Form1.HScroll1", Form1Layout::HScroll1},
        {"Form1.Picture1", Form1Layout::Picture1}, {"Form1.Picture2", Form1Layout::Picture2},
        {"Form2.Command1", Form2Layout::Command1}, {"Form3.Command1", Form3Layout::Command1},
    };
    const auto found =
        argc == 3 ? controls.find(std::string(argv[1]) + "." + argv[2]) : controls.end();
    if (found == controls.end()) {
        std::fprintf(stderr, "usage: layout-point Form1|Form2|Form3 CONTROL\n");
        return 2;
    }
    const QPoint centre = twipsCentre(found->second);
    std::printf("%d %d\n", centre.x(), centre.y());
    return 0;
}
