#include "app/SluiceConfigApp.h"

int main(int argc, char** argv)
{
    if (const std::optional<int> status = CSluiceConfigApp::AnswerHelpOrVersion(argc, argv))
        return *status;
    CSluiceConfigApp app(argc, argv);
    return app.Run();
}
