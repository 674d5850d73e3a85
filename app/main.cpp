#include "app/SluiceConfigApp.h"

int main(int argc, char** argv)
{
    CSluiceConfigApp app(argc, argv);
    return app.Run();
}
