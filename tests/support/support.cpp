// placeholder: helpers shared by the tests
