// Stands in for the recognizer module, which the packaging rules install beside the programs.
extern "C" int scrivel_stand_in_module()
{
    return 0;
}
