// The main() of the benchmarks that build the tree's widgets: an offscreen
// QApplication, the program's resources, message boxes that answer OK at
// once, and nothing sent beyond the loopback.
#include "frame/FrameInterface.h"
#include "platform/XmlDom.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

class SilentBoxes : public kelvor::app::IMessageBoxes {
  public:
    int show(const std::string&, const std::string&, kelvor::app::MessageIcon,
             kelvor::app::MessageButtons) override {
        return kelvor::app::kIdOk;
    }
};

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("http_proxy", "http://127.0.0.1:9", 1);
    setenv("no_proxy", "127.0.0.1", 1);
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(kelvor);
    kelvor::xml::initialize();
    SilentBoxes boxes;
    kelvor::app::setMessageBoxes(&boxes);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
