#include "DeferredLibrary.h"

#include <stdexcept>

DeferredLibrary::DeferredLibrary(const char *fileName)
    : m_library(QString::fromUtf8(fileName))
{
}

QFunctionPointer DeferredLibrary::resolve(const char *name)
{
    if (!m_library.isLoaded() && !m_library.load())
        throw std::runtime_error(m_library.errorString().toStdString());
    if (QFunctionPointer function = m_library.resolve(name))
        return function;
    throw std::runtime_error(m_library.fileName().toStdString() + " lacks " + name);
}
