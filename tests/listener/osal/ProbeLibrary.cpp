extern "C" int probeAnswer(void)
{
    return 42;
}
