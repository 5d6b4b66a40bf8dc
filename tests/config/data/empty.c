/* A module that carries nothing but the resources linked into it. */
int vexa_test_resource_module;
