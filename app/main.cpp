#include "app/entry.h"

int main(int argc, char** argv) {
    return tovaquor_main(argc, argv);
}
