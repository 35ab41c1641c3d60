#include "app/CConverterApp.h"

int main(int argc, char** argv) {
    return kelvora::CConverterApp().Run(argc, argv);
}
