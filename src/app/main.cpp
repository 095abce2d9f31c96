#include "brand.h"
#include "form1.h"
#include "glw_application.h"

int main(int argc, char *argv[])
{
    GlwApplication app(argc, argv);
    GlwApplication::setIdentity(brandIdentity(kBuildBrand).title);
    TForm1 form(kBuildBrand);
    form.show();
    return app.exec();
}
