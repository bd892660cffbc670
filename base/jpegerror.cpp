#include "jpegerror.h"

namespace {

JpegErrorManager* ManagerOf(j_common_ptr cinfo)
{
    return reinterpret_cast<JpegErrorManager*>(cinfo->err);
}

void Report(j_common_ptr cinfo, JpegErrorManager::Report to)
{
    if (to == nullptr)
        return;
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    to(text);
}

void OnErrorExit(j_common_ptr cinfo)
{
    JpegErrorManager* manager = ManagerOf(cinfo);
    Report(cinfo, manager->onError);
    std::longjmp(manager->jump, 1);
}

void OnOutputMessage(j_common_ptr cinfo)
{
    Report(cinfo, ManagerOf(cinfo)->onWarning);
}

} // namespace

void JpegErrorManager::Attach(jpeg_compress_struct& cinfo, Report error, Report warning)
{
    cinfo.err = jpeg_std_error(&pub);
    pub.error_exit = OnErrorExit;
    pub.output_message = OnOutputMessage;
    onError = error;
    onWarning = warning;
}
