#include "datatool/data_tool.h"

int main(int argc, char** argv) {
    return data_tool_main(argc, argv);
}
