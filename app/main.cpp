#include "app/Application.h"

int main(int argc, char** argv)
{
    if (const std::optional<int> status = CApplication::AnswerHelpOrVersion(argc, argv))
        return *status;
    CApplication app(argc, argv);
    return app.Run();
}
