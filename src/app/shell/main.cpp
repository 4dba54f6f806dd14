#include "app/shell/VantrelApp.h"

int main(int argc, char** argv) {
    return vantrel::VantrelApp::run(argc, argv);
}
